#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""scripts/add-spdx on a small tree of its own (a copy of the script in a
temporary folder, no git): what --check lists, what a run adds and where,
that a second run changes nothing and that data files keep their bytes.

  check_add_spdx.py SCRIPT"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "install"))
from checks import check, verdict  # noqa: E402

ID = "SPDX-License-Identifier: GPL-3.0-or-later"

# path: (content before, content after a run; None = unchanged)
TREE = {
    "core/a.cpp": ("// Reads a.\n#include <a>\n", f"// {ID}\n// Reads a.\n#include <a>\n"),
    "core/b.h": ("#pragma once\n", f"// {ID}\n\n#pragma once\n"),
    "core/c.h": (f"// Names c.\n// {ID}\n#pragma once\n", None),
    "core/d.cpp": ("\nint d;\n", f"// {ID}\n\nint d;\n"),
    "CMakeLists.txt": ("project(x)\n", f"# {ID}\n\nproject(x)\n"),
    "cmake/e.cmake": ("# Installs e.\n", f"# {ID}\n# Installs e.\n"),
    "scripts/run": ("#!/bin/sh\n# Runs.\nexit 0\n", f"#!/bin/sh\n# {ID}\n# Runs.\nexit 0\n"),
    "scripts/bare": ("#!/bin/sh", f"#!/bin/sh\n# {ID}\n"),
    "tests/f.py": ('"""Checks f."""\n', f'# {ID}\n\n"""Checks f."""\n'),
    "tests/g.sh": ("#!/bin/sh\r\necho g\r\n", f"#!/bin/sh\r\n# {ID}\r\n\r\necho g\r\n"),
    # A later comment does not count: only the first one.
    "core/h.cpp": (f"int h;\n// {ID}\n", f"// {ID}\n\nint h;\n// {ID}\n"),
    # Data and files of other kinds keep their bytes.
    "tests/data/walk.csv": ("time,lat\n", None),
    "tests/data/quirk.cpp": ("int q;\n", None),
    "examples/run.sh": ("#!/bin/sh\n", None),
    "fuzz/seeds/x/seed.h": ("x\n", None),
    "scripts/valgrind.supp": ("{\n  leak\n}\n", None),
    "README.md": ("# x\n", None),
}


def main():
    script = sys.argv[1]
    root = tempfile.mkdtemp(prefix="add-spdx-")
    try:
        os.makedirs(os.path.join(root, "scripts"))
        shutil.copy(script, os.path.join(root, "scripts", "add-spdx"))
        for path, (before, _) in TREE.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(before.encode())
        os.chmod(os.path.join(root, "scripts", "run"), 0o755)
        tool = [sys.executable, "-B", os.path.join(root, "scripts", "add-spdx")]

        def run(*args):
            return subprocess.run(tool + list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

        listed = run("--check")
        print(listed.stdout, end="")
        wanted = sorted(p for p, (_, after) in TREE.items() if after is not None)
        # The script itself is a script of the tree, without the identifier
        # in a copy that never had it; every copy made here does have it.
        got = sorted(line.strip() for line in listed.stdout.splitlines() if line.startswith("  "))
        got = [p for p in got if p != "scripts/add-spdx"]
        check(listed.returncode == 1, "--check fails while files lack the identifier")
        check(got == wanted, f"--check lists the files without it (extra {sorted(set(got) - set(wanted))}, "
              f"missing {sorted(set(wanted) - set(got))})")
        for path, (before, _) in TREE.items():
            with open(os.path.join(root, path), "rb") as f:
                check(f.read() == before.encode(), f"--check leaves {path} as it was")

        check(run().returncode == 0, "a run succeeds")
        snapshot = {}
        for path, (before, after) in TREE.items():
            with open(os.path.join(root, path), "rb") as f:
                snapshot[path] = f.read()
            want = (after if after is not None else before).encode()
            check(snapshot[path] == want, f"{path} after a run: {snapshot[path]!r}, wanted {want!r}")
        check(os.stat(os.path.join(root, "scripts", "run")).st_mode & 0o777 == 0o755, "a script keeps its mode")

        check(run().returncode == 0, "a second run succeeds")
        for path in TREE:
            with open(os.path.join(root, path), "rb") as f:
                check(f.read() == snapshot[path], f"a second run leaves {path} as the first left it")
        check(run("--check").returncode == 0, "--check passes after a run")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
