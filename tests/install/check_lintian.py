#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""Runs lintian on the Debian package that check_deb_package.py built: no
error and no warning may be left (information tags are shown and allowed).

  check_lintian.py --lintian LINTIAN --packages DIR"""
import argparse
import glob
import os
import re
import subprocess
import sys

from checks import check, verdict


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--lintian", required=True)
    ap.add_argument("--packages", required=True)
    args = ap.parse_args()

    if not check(os.access(args.lintian, os.X_OK), f"lintian found at {args.lintian} (scripts/bootstrap installs it)"):
        return verdict()
    debs = glob.glob(os.path.join(args.packages, "*.deb"))
    if not check(len(debs) == 1, f"one package in {args.packages} (found {debs})"):
        return verdict()
    # --fail-on is left at lintian's default: the tags are counted here, so
    # that a warning fails as an error does and every tag is shown.
    result = subprocess.run([args.lintian, "--display-info", "--tag-display-limit", "0", debs[0]],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            env=dict(os.environ, LC_ALL="C.UTF-8"))
    print(result.stdout, end="")
    tags = {kind: [line for line in result.stdout.splitlines() if re.match(kind + r": ", line)]
            for kind in ("E", "W", "I")}
    print(f"lintian: {len(tags['E'])} errors, {len(tags['W'])} warnings, {len(tags['I'])} information tags")
    # 1 is lintian's status for errors found (counted below), 2 for a run
    # that failed.
    check(result.returncode in (0, 1), f"lintian ran (status {result.returncode})")
    check(tags["E"] == [], "no lintian errors")
    check(tags["W"] == [], "no lintian warnings")
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
