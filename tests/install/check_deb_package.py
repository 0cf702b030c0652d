#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""Builds the Debian package from the build tree with cpack and checks its
control fields (dpkg-deb -f) and contents (dpkg-deb -c): name, version,
architecture, dependencies, and that it holds exactly what `cmake --install`
puts in place, with the usual owners and modes.

  check_deb_package.py --cpack CPACK --cmake CMAKE --build BUILD_DIR
      --work DIR --version X.Y [--gui]

Everything is written below DIR, which is emptied first; the package stays
in DIR/packages for the lintian check."""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys

from checks import check, install, run, verdict


def control_fields(deb):
    fields, key = {}, None
    for line in run(["dpkg-deb", "-f", deb]).stdout.splitlines():
        if line[:1] in (" ", "\t") and key:
            fields[key] += "\n" + line.strip()
        elif ":" in line:
            key, value = line.split(":", 1)
            fields[key] = value.strip()
    return fields


def depended_packages(depends):
    """Package names in a Depends value, alternatives included, without versions
    and architecture qualifiers."""
    names = set()
    for alternative in re.split(r"[,|]", depends):
        name = re.sub(r"\(.*?\)|:\S+", "", alternative).strip()
        if name:
            names.add(name)
    return names


def contents(deb):
    """{path below /: (mode string, owner)} of the package's data."""
    entries = {}
    for line in run(["dpkg-deb", "-c", deb]).stdout.splitlines():
        mode, owner, _size, _date, _time, path = line.split(None, 5)
        entries[os.path.normpath(path.split(" -> ")[0])] = (mode, owner)
    return entries


def installed_files(cmake, build, prefix):
    install(cmake, build, prefix)
    found = set()
    for dirpath, _dirs, files in os.walk(prefix):
        for f in files:
            found.add(os.path.relpath(os.path.join(dirpath, f), prefix))
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cpack", required=True)
    ap.add_argument("--cmake", required=True)
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--gui", action="store_true")
    args = ap.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    packages = os.path.join(args.work, "packages")
    build = run([args.cpack, "-G", "DEB", "--config", os.path.join(args.build, "CPackConfig.cmake"),
                 "-B", packages])
    if build.returncode != 0:
        return 1
    debs = glob.glob(os.path.join(packages, "*.deb"))
    if not check(len(debs) == 1, f"cpack made one package (found {debs})"):
        return 1
    deb = debs[0]
    arch = subprocess.run(["dpkg", "--print-architecture"], stdout=subprocess.PIPE, text=True).stdout.strip()
    check(os.path.basename(deb) == f"skimra_{args.version}_{arch}.deb", f"package file name {os.path.basename(deb)}")

    fields = control_fields(deb)
    for key, value in fields.items():
        print(f"  {key}: {value}")
    check(fields.get("Package") == "skimra", "Package: skimra")
    check(fields.get("Version") == args.version, f"Version: {args.version}")
    check(fields.get("Architecture") == arch, f"Architecture: {arch}")
    check(re.fullmatch(r".+ <[^@\s]+@[^@\s]+>", fields.get("Maintainer", "")) is not None,
          "Maintainer: a name and an address")
    check(fields.get("Section") == "science", "Section: science")
    check(len(fields.get("Description", "").splitlines()) >= 2, "Description: a summary and a long text")
    depends = depended_packages(fields.get("Depends", ""))
    wanted = {"fonts-liberation", "libc6", "libcairo2", "libpango-1.0-0", "libglib2.0-0"}
    if args.gui:
        wanted |= {"libgtk-3-0", "adwaita-icon-theme", "gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good",
                   "gstreamer1.0-gtk3", "gstreamer1.0-libav"}
    check(wanted <= depends, f"Depends names {sorted(wanted)} (missing {sorted(wanted - depends)})")

    entries = contents(deb)
    prefix = "usr"
    expected = {f"{prefix}/bin/skimra-cli", f"{prefix}/bin/skimra-logbook",
                f"{prefix}/share/man/man1/skimra-cli.1.gz", f"{prefix}/share/man/man1/skimra-logbook.1.gz",
                f"{prefix}/share/doc/skimra/copyright", f"{prefix}/share/doc/skimra/changelog.gz"}
    if args.gui:
        expected |= {f"{prefix}/bin/sk-gui", f"{prefix}/share/man/man1/sk-gui.1.gz",
                     f"{prefix}/share/applications/com.skimra.desktop",
                     f"{prefix}/share/metainfo/com.skimra.metainfo.xml",
                     f"{prefix}/share/icons/hicolor/32x32/apps/com.skimra.png",
                     f"{prefix}/share/icons/hicolor/256x256/apps/com.skimra.png",
                     f"{prefix}/share/icons/hicolor/scalable/apps/com.skimra.svg"}
    packaged = {p for p, (mode, _) in entries.items() if not mode.startswith("d")}
    check(expected <= packaged, f"package holds {sorted(expected)} (missing {sorted(expected - packaged)})")

    # Whatever the install rules put in place is packaged, and nothing else.
    tree = installed_files(args.cmake, args.build, os.path.join(args.work, "tree"))
    tree = {f"{prefix}/{f}" for f in tree}
    check(packaged == tree, "package holds exactly what cmake --install installs "
          f"(only installed: {sorted(tree - packaged)}, only packaged: {sorted(packaged - tree)})")

    bindir = f"{prefix}/bin/"
    odd = []
    for path, (mode, owner) in sorted(entries.items()):
        if mode.startswith("d"):
            want = "drwxr-xr-x"
        elif path.startswith(bindir):
            want = "-rwxr-xr-x"
        else:
            want = "-rw-r--r--"
        if mode != want or owner != "root/root":
            odd.append(f"{path} is {mode} {owner}, wanted {want} root/root")
    check(odd == [], "directories 0755, programs 0755, other files 0644, all owned by root" +
          "".join("\n  " + o for o in odd))

    return verdict()


if __name__ == "__main__":
    sys.exit(main())
