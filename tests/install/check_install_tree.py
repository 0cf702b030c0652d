#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""Installs the build into a fresh prefix with `cmake --install` and checks
what lands there: the programs with their manual pages, the licence terms
and the changelog, and with sk-gui its desktop entry, metainfo and icons,
which must agree with each other and with the programs installed.

  check_install_tree.py --cmake CMAKE --build BUILD_DIR --source SOURCE_DIR
      --prefix PREFIX --bindir bin --datadir share --mandir share/man
      --docdir share/doc/skimra --version X.Y [--gui]

PREFIX is emptied first and left behind for a look (and for the AppStream
check of the installed tree)."""
import argparse
import configparser
import gzip
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

from checks import check, install, verdict

APP_ID = "com.skimra"
# g_set_prgname() of sk-gui: the X11 instance name docks match windows by.
WM_CLASS = "skimra"
ICON_SIZES = (32, 256)


def png_size(path):
    """(width, height) from a PNG's IHDR chunk, or None if it is no PNG."""
    with open(path, "rb") as f:
        head = f.read(24)
    if len(head) < 24 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def is_executable_program(path):
    if not os.path.isfile(path) or not os.access(path, os.X_OK):
        return False
    with open(path, "rb") as f:
        return f.read(4) == b"\x7fELF"


def check_icons(datadir, icon):
    hicolor = os.path.join(datadir, "icons", "hicolor")
    for size in ICON_SIZES:
        path = os.path.join(hicolor, f"{size}x{size}", "apps", icon + ".png")
        if check(os.path.isfile(path), f"icon {path} installed"):
            got = png_size(path)
            check(got == (size, size), f"{path} is a {size}x{size} PNG (found {got})")
    svg = os.path.join(hicolor, "scalable", "apps", icon + ".svg")
    if check(os.path.isfile(svg), f"icon {svg} installed"):
        try:
            root = ET.parse(svg).getroot().tag
        except ET.ParseError as e:
            root = f"unreadable ({e})"
        check(root == "{http://www.w3.org/2000/svg}svg", f"{svg} is an SVG document (root {root})")


def check_desktop_entry(path, bindir):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str  # keys are case-sensitive
    parser.read(path, encoding="utf-8")
    entry = parser["Desktop Entry"]
    program = entry.get("Exec", "").split()[0:1]
    check(program != [] and is_executable_program(os.path.join(bindir, program[0])),
          f"Exec= ({entry.get('Exec')}) starts an installed program")
    check(entry.get("Terminal") == "false", "Terminal=false")
    check(entry.get("StartupWMClass") == WM_CLASS, f"StartupWMClass={WM_CLASS}")
    mime = [m for m in entry.get("MimeType", "").split(";") if m]
    generic = [m for m in mime if m.startswith("text/") or m == "application/octet-stream"]
    check(generic == [], f"no claim on generic file types (MimeType: {mime})")
    return entry.get("Icon", "")


def check_metainfo(path, bindir, desktop_name, version):
    root = ET.parse(path).getroot()
    check(root.findtext("id") == APP_ID, f"metainfo id is {APP_ID}")
    launchables = [l.text for l in root.findall("launchable[@type='desktop-id']")]
    check(launchables == [desktop_name], f"metainfo launches {desktop_name} (found {launchables})")
    binaries = [b.text for b in root.findall("provides/binary")]
    check(binaries != [], "metainfo names the binaries it provides")
    for b in binaries:
        check(is_executable_program(os.path.join(bindir, b)), f"provided binary {b} is installed")
    releases = [r.get("version") for r in root.findall("releases/release")]
    check(releases[:1] == [version], f"newest release in the metainfo is the project's version {version} (found {releases[:1]})")


def gunzipped(path):
    """The content of a gzip file written with gzip -9n (no name, no time in
    the header, so that the package's bytes depend on the sources only), or
    None for any other file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:3] != b"\x1f\x8b\x08" or data[3] & 0x08 or data[4:8] != b"\0\0\0\0":
        return None
    return gzip.decompress(data)


def check_docs(args, programs):
    mandir = os.path.join(args.prefix, args.mandir, "man1")
    for program in programs:
        page = os.path.join(mandir, program + ".1.gz")
        if check(os.path.isfile(page), f"manual page {page} installed"):
            with open(os.path.join(args.source, "man", program + ".1"), "rb") as f:
                check(gunzipped(page) == f.read(), f"{page} is man/{program}.1, gzipped without name or time")
    docdir = os.path.join(args.prefix, args.docdir)
    copyright_file = os.path.join(docdir, "copyright")
    if check(os.path.isfile(copyright_file), f"{copyright_file} installed"):
        with open(copyright_file, encoding="utf-8") as f:
            text = f.read()
        check(text.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"),
              "copyright is machine-readable, format 1.0")
        check(re.search(r"^License: GPL-3\+$", text, re.M) is not None, "copyright: GPL-3+")
    changelog = os.path.join(docdir, "changelog.gz")
    if check(os.path.isfile(changelog), f"{changelog} installed"):
        text = (gunzipped(changelog) or b"").decode("utf-8")
        lines = text.splitlines()
        check(lines[:1] == [f"skimra ({args.version}) unstable; urgency=medium"],
              f"changelog begins with version {args.version} (found {lines[:1]})")
        trailer = r" -- Skimra developers <dev@skimra\.example>  \w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d [+-]\d{4}"
        check(any(re.fullmatch(trailer, line) for line in lines), "changelog entry signed with an RFC 5322 date")
        check(all(len(line) <= 80 for line in lines), "changelog lines within 80 characters")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cmake", required=True)
    ap.add_argument("--build", required=True)
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--bindir", default="bin")
    ap.add_argument("--datadir", default="share")
    ap.add_argument("--mandir", default="share/man")
    ap.add_argument("--docdir", default="share/doc/skimra")
    ap.add_argument("--source", required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--gui", action="store_true")
    args = ap.parse_args()

    if not install(args.cmake, args.build, args.prefix, show=True):
        return 1

    bindir = os.path.join(args.prefix, args.bindir)
    datadir = os.path.join(args.prefix, args.datadir)
    check(is_executable_program(os.path.join(bindir, "skimra-cli")), "skimra-cli installed")
    desktop = os.path.join(datadir, "applications", APP_ID + ".desktop")
    metainfo = os.path.join(datadir, "metainfo", APP_ID + ".metainfo.xml")
    if not args.gui:
        check(not os.path.exists(desktop), "no desktop entry without sk-gui")
    else:
        check(is_executable_program(os.path.join(bindir, "sk-gui")), "sk-gui installed")
        icon = APP_ID
        if check(os.path.isfile(desktop), f"desktop entry {desktop} installed"):
            icon = check_desktop_entry(desktop, bindir)
        check_icons(datadir, icon)  # the ones Icon= names
        if check(os.path.isfile(metainfo), f"metainfo {metainfo} installed"):
            check_metainfo(metainfo, bindir, os.path.basename(desktop), args.version)

    check_docs(args, ["skimra-cli", "skimra-logbook"] + (["sk-gui"] if args.gui else []))
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
