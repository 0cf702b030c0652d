#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""Renders each manual page of man/ as a reader and lintian do and checks
what it says:

  - `MANWIDTH=80 man --warnings -l PAGE`, and lintian's UTF-8 rendering,
    print no warning, and no line is wider than 80 columns;
  - the page has the sections a reader looks for, and its ENVIRONMENT
    names XDG_CONFIG_HOME and XDG_DATA_HOME;
  - every option that the program's own help names is in the page, so an
    option added to a program without its page fails here.

  check_manual_pages.py --man MAN --pages DIR PROGRAM=PATH...

A PROGRAM's page is DIR/PROGRAM.1."""
import argparse
import os
import re
import subprocess
import sys

from checks import check, verdict

SECTIONS = ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS", "ENVIRONMENT", "EXAMPLES")
OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)")


def render(man, page, env_extra, extra_args=()):
    env = dict(os.environ, MANWIDTH="80", **env_extra)
    env.pop("MANPAGER", None)
    env.pop("PAGER", None)
    result = subprocess.run([man, "--warnings", *extra_args, "-l", page], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, env=env)
    return result.returncode, result.stdout, result.stderr


def sections(text):
    """{heading: body} of a rendered page (headings start in column 0)."""
    found, name = {}, None
    for line in text.splitlines():
        if line and not line[0].isspace() and line.upper() == line and not line.endswith(")"):
            name = line.strip()
            found[name] = []
        elif name:
            found[name].append(line)
    return {k: "\n".join(v) for k, v in found.items()}


def help_texts(name, path):
    """The program's own help: every text that names its options."""
    def out(*args):
        r = subprocess.run([path, *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           env=dict(os.environ, LC_ALL="C"))
        check(r.returncode == 0, f"{name} {' '.join(args)} exits with 0")
        return r.stdout
    if name == "sk-gui":
        return [out("--help-all")]
    texts = [out("--help")]
    if name == "skimra-logbook":
        listed = texts[0].split("Subcommands:", 1)[-1].split("\n\n", 1)[0]
        for sub in re.findall(r"^  ([a-z]+) ", listed, re.M):
            texts.append(out(sub, "--help"))
    return texts


def check_page(man, page, name, program):
    status, text, warnings = render(man, page, {"LC_ALL": "C"})
    check(status == 0 and warnings == "", f"{name}(1) renders without warnings{': ' + warnings if warnings else ''}")
    status, _, warnings = render(man, page, {"LC_ALL": "C.UTF-8"}, ("-E", "UTF-8", "-Tutf8", "-Z"))
    check(status == 0 and warnings == "", f"{name}(1) renders in UTF-8 without warnings{': ' + warnings if warnings else ''}")
    wide = [line for line in text.splitlines() if len(line) > 80]
    check(wide == [], f"{name}(1) fits 80 columns" + "".join("\n  " + w for w in wide))

    found = sections(text)
    missing = [s for s in SECTIONS if s not in found]
    check(missing == [], f"{name}(1) has the sections {', '.join(SECTIONS)} (missing {missing})")
    check(found.get("NAME", "").strip().startswith(name + " - "), f"{name}(1) NAME begins with '{name} - '")
    environment = found.get("ENVIRONMENT", "")
    for variable in ("XDG_CONFIG_HOME", "XDG_DATA_HOME"):
        check(variable in environment, f"{name}(1) ENVIRONMENT names {variable}")

    documented = set(OPTION.findall("\n".join(found.get(s, "") for s in ("SYNOPSIS", "OPTIONS", "SUBCOMMANDS"))))
    offered = set()
    for text in help_texts(name, program):
        offered |= set(OPTION.findall(text))
    check(offered != set(), f"{name}'s help names its options")
    check(offered <= documented, f"{name}(1) documents every option of its help "
          f"(missing {sorted(offered - documented)})")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--man", required=True)
    ap.add_argument("--pages", required=True)
    ap.add_argument("programs", nargs="+", metavar="PROGRAM=PATH")
    args = ap.parse_args()
    if not check(os.access(args.man, os.X_OK), f"man found at {args.man} (scripts/bootstrap installs man-db)"):
        return verdict()
    for program in args.programs:
        name, path = program.split("=", 1)
        check_page(args.man, os.path.join(args.pages, name + ".1"), name, path)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
