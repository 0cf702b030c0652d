# SPDX-License-Identifier: GPL-3.0-or-later

"""What the install and package checks share: the tally of checks, running a
program, and installing the build into a fresh prefix."""
import os
import shutil
import subprocess

failures = []


def check(ok, what):
    """Reports one check; returns whether it held."""
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)
    return ok


def run(cmd, show=False):
    """Runs cmd, checks that it succeeds and returns its result (output and
    errors together in .stdout, shown when it fails or when show is set)."""
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if show or result.returncode != 0:
        print(result.stdout, end="")
    check(result.returncode == 0, f"{os.path.basename(cmd[0])} {cmd[1]} succeeds")
    return result


def install(cmake, build, prefix, show=False):
    """cmake --install of the build into prefix, emptied first; whether it
    succeeded."""
    shutil.rmtree(prefix, ignore_errors=True)
    return run([cmake, "--install", build, "--prefix", prefix], show).returncode == 0


def verdict():
    """The exit status for the checks so far."""
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    return 0
