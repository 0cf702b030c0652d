# SPDX-License-Identifier: GPL-3.0-or-later

"""End-to-end harness: drives the built sk-gui from outside, as a user would.

A test is a Python script run by CTest inside its own X server and D-Bus
session bus:

    scripts/with-display --dbus -- \\
        /usr/bin/python3 tests/e2e/test_x.py --program .../sk-gui \\
        --source <checkout> --output <build>/tests/output/e2e

and built on this module:

    from skimra_e2e import run_test

    def scenario(t):                      # t: a Test (checks, session)
        app = t.session.launch()          # a running sk-gui (Program)
        win = app.wait_window()           # X window id of its "Skimra" window
        tree = app.wait_tree(lambda a: a.find("check box", "metric units"),
                             "the options")
        t.check(..., "what is wrong when it fails")
        t.session.key("alt+f", window=win)
        t.session.screenshot("start")

    if __name__ == "__main__":
        run_test("my_test", scenario)

Pieces:
- Session: a private HOME, XDG folders and settings folder per test, the
  program's environment, launches, X windows (also the program's dialogs,
  by title), keys and typed text (xdotool), screenshots (ImageMagick's
  import) into the output folder, the pixels of a part of the screen, and
  runs of skimra-cli (--cli) for reference output.
- Program: one running sk-gui; its accessibility tree read through
  read_tree.py in a child process with a deadline; waiting for its window or
  for a condition on its tree; stopping it and collecting status and output.
- Node: plain data of one accessible (role, name, states, children, text,
  value, extents, key bindings) with search helpers.
- Test: soft checks (every failed check is reported, the test goes on) and
  hard requirements (the test stops), run by run_test.

Nothing here sleeps to synchronise: every wait polls a condition until it
holds or a deadline passes, and a missed deadline fails the test with what
was last seen.
"""
from __future__ import annotations

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Optional, Sequence

HERE = Path(__file__).resolve().parent
SYSTEM_PYTHON = "/usr/bin/python3"  # the only interpreter that sees pyatspi
READ_TREE = HERE / "read_tree.py"


class E2EFailure(AssertionError):
    """A requirement of the test did not hold (or a wait timed out)."""


# --------------------------------------------------------------------------
# Waiting


def poll(condition: Callable[[], object], timeout: float, what: str,
         interval: float = 0.1, detail: Callable[[], str] = None):
    """Calls condition() until it returns something true and returns that.

    Exceptions of condition() count as "not yet". After timeout seconds
    raises E2EFailure naming what was awaited, with detail() (or the last
    exception) appended.
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            result = condition()
            if result:
                return result
            last_error = None
        except E2EFailure:
            raise
        except Exception as error:  # not there yet, or a transient reader error
            last_error = error
        if time.monotonic() >= deadline:
            message = f"timed out after {timeout:.0f} s waiting for {what}"
            if last_error is not None:
                message += f"\n  last error: {last_error}"
            if detail is not None:
                try:
                    message += "\n" + detail()
                except Exception as error:
                    message += f"\n  (no detail: {error})"
            raise E2EFailure(message)
        time.sleep(interval)  # the polling interval, not a synchronisation


# What the toolkit prints that is not the program's fault: the accessibility
# bridge's Atk-CRITICAL lines while a reader walks the tree, and the text
# view's accessible asking for a new buffer while the window is destroyed
# (the results view is no drop target, so the toolkit complains).
KNOWN_NOISE = [
    re.compile(r"Atk-CRITICAL"),
    re.compile(r"Gtk-WARNING .*Can't set a target list on a widget until you've called "
               r"gtk_drag_dest_set\(\)"),
]
# After a dialog has closed, the bridge (answering a reader) asks the
# accessibles of its destroyed widgets for their state set or children: GTK
# answers with an Atk-CRITICAL about the missing state set, or (when the
# reader is slower, as in the sanitizer build) a critical of the container
# it walks, and the bridge then unrefs what it did not get. The unref is
# noise only right after such a line.
BRIDGE_ASKS = re.compile(r"Atk-CRITICAL|Gtk-CRITICAL .*gtk_container_forall: assertion "
                         r"'GTK_IS_CONTAINER \(container\)' failed")
BRIDGE_UNREF = re.compile(r"GLib-GObject-CRITICAL .*g_object_unref: assertion "
                          r"'G_IS_OBJECT \(object\)' failed")


# The sanitizer build's leak checker, and the one leak it reports that is
# not ours: the file chooser's location entry completes what is typed from a
# folder it loads in the background, and when the dialog is accepted while
# that load is under way, the toolkit loses the name it was building (11
# bytes, g_strconcat). Such a report is the toolkit's only when every frame
# of every block lies in the toolkit's libraries, down to gtk_dialog_run
# called by our chooser.
LEAK_REPORT = "ERROR: LeakSanitizer: detected memory leaks"
TOOLKIT_FRAME = re.compile(r"\(\S*/lib(gtk-3|gdk-3|glib-2\.0|gio-2\.0|gobject-2\.0)\.so[.0-9]*\+0x[0-9a-f]+\)$")


def toolkit_chooser_leak(stderr: str) -> Optional[int]:
    """The bytes of a leak report that the toolkit's file chooser lost by
    itself (see above); None when there is no report or any block of it
    may be ours."""
    if LEAK_REPORT not in stderr:
        return None
    report = stderr[stderr.index(LEAK_REPORT):]
    blocks = re.split(r"\n(?=(?:Direct|Indirect) leak of )", report)[1:]
    total = 0
    for block in blocks:
        size = re.match(r"(?:Direct|Indirect) leak of (\d+) byte", block)
        frames = re.findall(r"^\s+#\d+ 0x[0-9a-f]+ (.*)$", block, re.M)
        ours = None
        for i, frame in enumerate(frames):
            if i == 0 and "in __interceptor_" in frame:
                continue
            if frame.startswith("in gtk_dialog_run ") and i + 1 < len(frames):
                ours = frames[i + 1]
                break
            if not TOOLKIT_FRAME.search(frame):
                return None
        if not (size and ours and "on_open_activate" in ours and "gui/file_choosers.cpp" in ours):
            return None
        total += int(size.group(1))
    return total if blocks else None


def unexpected_messages(stderr: str) -> list:
    """Lines of a program's standard error that report a GLib or toolkit
    warning or critical other than the known noise."""
    lines, previous = [], ""
    toolkit_leak = toolkit_chooser_leak(stderr) is not None
    for line in stderr.splitlines():
        if toolkit_leak and LEAK_REPORT in line:
            continue
        if not line.strip():
            continue
        bridge = BRIDGE_ASKS.search(line) or (BRIDGE_UNREF.search(line) and BRIDGE_ASKS.search(previous))
        if re.search(r"-(WARNING|CRITICAL|ERROR)\b|\bERROR:", line) and not bridge and \
                not any(p.search(line) for p in KNOWN_NOISE):
            lines.append(line)
        previous = line
    return lines


# --------------------------------------------------------------------------
# The window as plain data (e2e_window.py)

from e2e_window import (WINDOW_TITLE, NameMatch, Node, Pixels, Row, _read_ppm,  # noqa: E402,F401
                        current_tab, gate_label, report_text, swoop_rows, tab_names, text_diff)


# --------------------------------------------------------------------------
# Running programs


@dataclass
class Result:
    """How a process ended."""
    status: Optional[int]  # exit status; negative: killed by that signal
    stdout: str
    stderr: str
    seconds: float         # from start to end (as far as we waited)


def _run(cmd: Sequence[str], env: dict, timeout: float, cwd=None) -> subprocess.CompletedProcess:
    return subprocess.run(list(cmd), env=env, cwd=cwd, timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class Program:
    """One running sk-gui started by Session.launch."""

    def __init__(self, session: "Session", args: Sequence[str], name: str):
        self.session = session
        self.args = list(args)
        self.name = name
        self._out = session.folder / f"{name}.stdout"
        self._err = session.folder / f"{name}.stderr"
        self.started = time.monotonic()
        with open(self._out, "wb") as out, open(self._err, "wb") as err:
            self.proc = subprocess.Popen([session.program, *self.args], env=session.env,
                                         cwd=session.workdir, stdout=out, stderr=err,
                                         stdin=subprocess.DEVNULL)
        self.pid = self.proc.pid
        self.result: Optional[Result] = None

    # -- state

    def running(self) -> bool:
        return self.proc.poll() is None

    def output(self) -> tuple:
        """(stdout, stderr) written so far."""
        return (self._out.read_text(errors="replace"), self._err.read_text(errors="replace"))

    # -- windows

    def windows(self) -> list:
        """This program's visible top-level X windows titled exactly "Skimra"."""
        return self.session.windows(pid=self.pid)

    def wait_window(self, timeout: float = 20) -> int:
        """Waits until the program shows exactly one "Skimra" window; its id."""
        def one_window():
            if not self.running():
                raise E2EFailure(f"{self.name} ended before showing its window:\n"
                                 + self._describe_end())
            wins = self.windows()
            return wins[0] if len(wins) == 1 else None
        return poll(one_window, timeout, f"the window of {self.name}",
                    detail=lambda: f"  windows: {self.windows()}")

    # -- accessibility

    def tree(self, timeout: float = 20) -> Optional[Node]:
        """The program's accessibility tree now (its application node).

        None while the program is not (yet) on the accessibility bus. Raises
        E2EFailure when the reader fails or does not answer within timeout.
        """
        try:
            done = _run([SYSTEM_PYTHON, str(READ_TREE), "--pid", str(self.pid)],
                        self.session.reader_env, timeout)
        except subprocess.TimeoutExpired:
            raise RuntimeError(f"the tree reader did not answer within {timeout:.0f} s")
        if done.returncode != 0:
            raise RuntimeError(f"the tree reader failed ({done.returncode}): "
                               + done.stderr.strip()[-2000:])
        data = json.loads(done.stdout)
        self.last_apps = data["apps"]
        return Node.from_json(data["tree"]) if data["tree"] else None

    def wait_tree(self, condition: Callable[[Node], object], what: str,
                  timeout: float = 20):
        """Reads the tree until condition(tree) is true; returns (tree, value).

        The tree passed is the application node; condition may return any
        true value (e.g. the node it looked for).
        """
        seen = {}

        def attempt():
            if not self.running():
                raise E2EFailure(f"{self.name} ended while waiting for {what}:\n"
                                 + self._describe_end())
            remaining = max(2.0, deadline - time.monotonic())
            tree = self.tree(timeout=min(20.0, remaining))
            seen["tree"] = tree
            if tree is None:
                return None
            value = condition(tree)
            return (tree, value) if value else None

        def detail():
            tree = seen.get("tree")
            if tree is None:
                return "  the program was not on the accessibility bus; apps: " \
                    + repr(getattr(self, "last_apps", None))
            return "  last tree:\n" + tree.outline()

        deadline = time.monotonic() + timeout
        return poll(attempt, timeout, what, interval=0.2, detail=detail)

    def frame(self, tree: Node) -> Optional[Node]:
        """The main window's node (a frame named "Skimra") in a tree."""
        return tree.find("frame", WINDOW_TITLE)

    # -- ending

    def wait_exit(self, timeout: float = 10) -> Result:
        """Waits for the program to end by itself; fails after timeout."""
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise E2EFailure(f"{self.name} did not end within {timeout:.0f} s")
        return self._collect()

    def stop(self, timeout: float = 10) -> Result:
        """Ends the program if it still runs (SIGTERM, then SIGKILL) and
        returns how it ended. Safe to call more than once."""
        if self.running():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        return self._collect()

    def _collect(self) -> Result:
        if self.result is None:
            out, err = self.output()
            self.result = Result(self.proc.returncode, out, err,
                                 time.monotonic() - self.started)
            if err:  # kept beside the screenshots: the folder of the run goes
                shutil.copyfile(self._err, self.session.output_dir
                                / f"{self.session.test_name}-{self.name}.stderr")
        return self.result

    def _describe_end(self) -> str:
        out, err = self.output()
        return (f"  status {self.proc.returncode}\n  stdout: {out[-2000:]!r}\n"
                f"  stderr: {err[-2000:]!r}")


class Session:
    """The private world of one test: folders, environment, launches, X."""

    def __init__(self, test_name: str, program: str, source_dir: str, output_dir: str,
                 cli: Optional[str] = None):
        self.test_name = test_name
        self.program = str(Path(program).resolve())
        self.cli = str(Path(cli).resolve()) if cli else None  # skimra-cli, for reference output
        self.source_dir = Path(source_dir).resolve()
        self.output_dir = Path(output_dir).resolve()
        self.output_dir.mkdir(parents=True, exist_ok=True)
        self.folder = Path(tempfile.mkdtemp(prefix=f"skimra-e2e-{test_name}-"))
        folders = {}
        for key, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"),
                         ("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache"),
                         ("XDG_RUNTIME_DIR", "runtime")):
            path = self.folder / sub
            path.mkdir(mode=0o700)
            folders[key] = str(path)
        self.workdir = self.folder / "work"  # the program's working directory
        self.workdir.mkdir()
        env = {k: v for k, v in os.environ.items()
               if k not in ("NO_AT_BRIDGE", "AT_SPI_BUS_ADDRESS", "G_DEBUG",
                            "GTK_MODULES", "GSETTINGS_BACKEND", "PYTHONPATH", "PYTHONHOME")}
        env.update(folders)
        env.update({"GSETTINGS_BACKEND": "memory", "GDK_BACKEND": "x11",
                    "LC_ALL": "C", "TZ": "UTC"})
        self.env = env
        # The reader needs the same buses, and a home that is not the real one.
        self.reader_env = dict(env)
        self.programs: list = []
        self.screenshots: list = []

    # -- files

    def example(self, name: str) -> str:
        """Path of a file in the checkout's examples folder."""
        path = self.source_dir / "examples" / name
        if not path.is_file():
            raise E2EFailure(f"missing example file {path}")
        return str(path)

    @property
    def settings_path(self) -> Path:
        """The program's settings file (absent until something is stored)."""
        return Path(self.env["XDG_CONFIG_HOME"]) / "skimra" / "settings.ini"

    def write_settings(self, values: dict) -> None:
        """Replaces the settings file with these values (plain texts)."""
        self.settings_path.parent.mkdir(parents=True, exist_ok=True)
        lines = ["[settings]"] + [f"{k}={v}" for k, v in values.items()]
        self.settings_path.write_text("\n".join(lines) + "\n")

    def read_settings(self) -> dict:
        """The values in the settings file now ({} when there is none)."""
        if not self.settings_path.exists():
            return {}
        values = {}
        for line in self.settings_path.read_text(errors="replace").splitlines():
            if "=" in line and not line.startswith(("#", "[")):
                key, value = line.split("=", 1)
                values[key.strip()] = value.strip()
        return values

    def copy_example(self, name: str, folder: Path) -> Path:
        """Copies an example file into folder (made if needed); the copy's path."""
        folder.mkdir(parents=True, exist_ok=True)
        target = folder / name
        shutil.copyfile(self.example(name), target)
        return target

    # -- programs

    def cli_report(self, swoop: Path, gate: Path, *options: str, timeout: float = 60) -> str:
        """The report skimra-cli writes for a swoop analysed with a gate walk
        (skimra-cli [options] -g <gate> <swoop>), run on copies of both in a
        scratch folder of its own; the text of the .txt file it writes."""
        if not self.cli or not Path(self.cli).is_file():
            raise E2EFailure(f"skimra-cli is needed for reference reports and is not built "
                             f"({self.cli}); build the target skimra-cli too")
        scratch = Path(tempfile.mkdtemp(prefix="cli-", dir=self.folder))
        shutil.copyfile(gate, scratch / gate.name)
        shutil.copyfile(swoop, scratch / swoop.name)
        env = dict(self.env)
        done = _run([self.cli, *options, "-g", gate.name, swoop.name], env, timeout, cwd=scratch)
        if done.returncode != 0:
            raise E2EFailure(f"skimra-cli {' '.join(options)} -g {gate.name} {swoop.name} "
                             f"failed ({done.returncode}): {done.stdout[-1000:]}{done.stderr[-1000:]}")
        return (scratch / (swoop.stem + ".txt")).read_text()

    def launch(self, *args: str, name: Optional[str] = None) -> Program:
        """Starts sk-gui with these arguments; it is stopped at the end."""
        prog = Program(self, args, name or f"sk-gui-{len(self.programs) + 1}")
        self.programs.append(prog)
        return prog

    def run(self, *args: str, timeout: float = 20) -> Result:
        """Runs sk-gui with these arguments until it ends by itself (a launch
        that hands its files over). Fails when it is still running after
        timeout seconds (and then ends it)."""
        prog = self.launch(*args)
        try:
            return prog.wait_exit(timeout)
        except E2EFailure as failure:
            windows = prog.windows()
            prog.stop()
            raise E2EFailure(f"{failure} (it showed {len(windows)} window(s) of its own)")

    # -- X

    def xdotool(self, *args: str, timeout: float = 10) -> str:
        done = _run(["xdotool", *args], self.env, timeout)
        if done.returncode != 0 and done.stderr.strip():
            raise RuntimeError(f"xdotool {' '.join(args)}: {done.stderr.strip()}")
        return done.stdout

    def windows(self, pid: Optional[int] = None, title: str = WINDOW_TITLE) -> list:
        """Visible top-level X windows whose title is exactly title.

        (xdotool's --name is a case-insensitive regular expression: the
        toolkit's hidden leader window "skimra" would match it, hence the
        exact comparison.)"""
        done = _run(["xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(title)}$"],
                    self.env, 10)
        found = []
        for line in done.stdout.split():
            wid = int(line)
            name = _run(["xdotool", "getwindowname", str(wid)], self.env, 10).stdout.rstrip("\n")
            if name != title:
                continue
            if pid is not None:
                wpid = _run(["xdotool", "getwindowpid", str(wid)], self.env, 10).stdout.strip()
                if wpid != str(pid):
                    continue
            found.append(wid)
        return found

    def wait_windows(self, title: str, timeout: float = 20, pid: Optional[int] = None) -> int:
        """Waits until exactly one visible top-level X window is titled title
        (a dialog of the program: "Open Gate", "Error", ...); its id."""
        def one():
            found = self.windows(pid=pid, title=title)
            return found[0] if len(found) == 1 else None
        return poll(one, timeout, f"one visible window titled {title!r}",
                    detail=lambda: f"  windows titled {title!r}: {self.windows(title=title)}")

    def wait_no_window(self, title: str, timeout: float = 20) -> None:
        """Waits until no visible top-level X window is titled title."""
        poll(lambda: not self.windows(title=title), timeout,
             f"the window titled {title!r} to close")

    def screen_size(self) -> Optional[tuple]:
        """(width, height) of the X screen, None when the display does not answer."""
        try:
            out = _run(["xdotool", "getdisplaygeometry"], self.env, 10).stdout.split()
            return (int(out[0]), int(out[1])) if len(out) == 2 else None
        except (subprocess.TimeoutExpired, ValueError):
            return None

    def window_geometry(self, wid: int) -> dict:
        """{"X", "Y", "WIDTH", "HEIGHT", "SCREEN"} of an X window."""
        out = self.xdotool("getwindowgeometry", "--shell", str(wid))
        return {k: int(v) for k, v in
                (line.split("=", 1) for line in out.splitlines() if "=" in line)
                if k != "WINDOW"}

    def key(self, *keys: str, window: Optional[int] = None) -> None:
        """Presses keys (xdotool names: "alt+f", "Escape", "ctrl+q") as real
        X input, after giving the window the keyboard focus."""
        if window is not None:
            self.xdotool("windowfocus", "--sync", str(window))
        self.xdotool("key", "--clearmodifiers", "--delay", "30", *keys)

    def type_text(self, text: str, window: Optional[int] = None) -> None:
        """Types text as real X key presses, after giving the window the
        keyboard focus."""
        if window is not None:
            self.xdotool("windowfocus", "--sync", str(window))
        self.xdotool("type", "--clearmodifiers", "--delay", "20", text, timeout=60)

    def pointer(self) -> tuple:
        """(x, y) of the mouse pointer on the screen."""
        out = self.xdotool("getmouselocation", "--shell")
        place = {k: v for k, v in (line.split("=", 1) for line in out.splitlines() if "=" in line)}
        return int(place["X"]), int(place["Y"])

    def click(self, x: int, y: int, button: int = 1) -> None:
        """A real mouse click at screen position (x, y)."""
        # mousemove --sync waits for the pointer to move, which it does not
        # when it is there already (a second click on the same spot).
        if self.pointer() != (x, y):
            self.xdotool("mousemove", "--sync", str(x), str(y))
        self.xdotool("click", str(button))

    def click_node(self, node: Node, button: int = 1) -> None:
        """Clicks the middle of a showing node."""
        if not node.extents:
            raise E2EFailure(f"{node} has no place on the screen (not showing)")
        x, y, w, h = node.extents
        self.click(x + w // 2, y + h // 2, button)

    def drag_files(self, paths: Sequence[Path], x: int, y: int) -> None:
        """Drags files onto the screen position (x, y) as from a file
        manager: drag_source.py offers them at the top left of the screen,
        and the real mouse (xdotool) drags its label there and lets go."""
        source = subprocess.Popen([SYSTEM_PYTHON, str(HERE / "drag_source.py"), *map(str, paths)],
                                  env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            wid = self.wait_windows("drag source", timeout=20)
            geometry = self.window_geometry(wid)
            sx, sy = geometry["X"] + geometry["WIDTH"] // 2, geometry["Y"] + geometry["HEIGHT"] // 2
            self.xdotool("mousemove", "--sync", str(sx), str(sy))
            self.xdotool("mousedown", "1")
            # The drag starts past the toolkit's threshold and follows the
            # pointer in steps, as a hand moves it.
            steps = 12
            for i in range(1, steps + 1):
                self.xdotool("mousemove", str(sx + (x - sx) * i // steps), str(sy + (y - sy) * i // steps))
                time.sleep(0.05)  # the pace of a hand, not a synchronisation
            self.xdotool("mouseup", "1")
            source.wait(timeout=20)
        finally:
            if source.poll() is None:
                source.kill()
                source.wait()

    def screenshot(self, step: str, window: Optional[int] = None) -> Path:
        """Saves <output>/<test>-<step>.png of the whole screen (or one
        window; the whole screen also shows open menus and dialogs)."""
        path = self.output_dir / f"{self.test_name}-{step}.png"
        target = "root" if window is None else str(window)
        done = _run(["import", "-window", target, str(path)], self.env, 30)
        if done.returncode != 0:
            raise E2EFailure(f"screenshot {path} failed: {done.stderr.strip()}")
        self.screenshots.append(path)
        return path

    def pixels(self, extents: Sequence[int]) -> Pixels:
        """The pixels of the screen in (x, y, width, height) as they are now
        (ImageMagick's import of that part of the root window)."""
        x, y, w, h = (int(v) for v in extents)
        done = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}",
                               "-depth", "8", "ppm:-"], env=self.env, timeout=30,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if done.returncode != 0:
            raise E2EFailure(f"grabbing {w}x{h}+{x}+{y} failed: {done.stderr.decode()[-500:]}")
        pixels = _read_ppm(done.stdout)
        if (pixels.width, pixels.height) != (w, h):
            raise E2EFailure(f"grabbed {pixels.width}x{pixels.height}, asked for {w}x{h}")
        return pixels

    # -- end

    def close(self) -> None:
        """Stops every program still running and removes the private folder
        (kept when SKIMRA_KEEP_TMP is set)."""
        for prog in self.programs:
            prog.stop()
        if os.environ.get("SKIMRA_KEEP_TMP"):
            print(f"kept {self.folder}")
        else:
            shutil.rmtree(self.folder, ignore_errors=True)


# --------------------------------------------------------------------------
# Checks and the test runner


class Test:
    """What a scenario gets: the session and soft checks."""

    def __init__(self, session: Session):
        self.session = session
        self.passed = 0
        self.failures: list = []
        self._t0 = time.monotonic()

    def check(self, condition: object, message: str) -> bool:
        """A soft check: a false condition is reported and the test goes on."""
        if condition:
            self.passed += 1
            print(f"  ok    {message}")
        else:
            self.failures.append(message)
            print(f"  FAIL  {message}")
        return bool(condition)

    def check_equal(self, actual, expected, what: str) -> bool:
        return self.check(actual == expected,
                          f"{what}: expected {expected!r}, got {actual!r}")

    def require(self, condition: object, message: str):
        """A hard check: a false condition ends the test."""
        if not condition:
            raise E2EFailure(message)
        self.passed += 1
        print(f"  ok    {message}")
        return condition

    def step(self, title: str) -> None:
        """Prints a step heading (and its time since the start)."""
        print(f"-- {title} ({time.monotonic() - self._t0:.1f} s)", flush=True)


def settled_pixels(s: Session, extents, what: str, timeout: float = 10,
                   accept: Callable[[Pixels], bool] = lambda p: True) -> Pixels:
    """The pixels of a part of the screen once two grabs in a row agree and
    `accept` takes them."""
    last = {}

    def settled():
        now = s.pixels(extents)
        before, last["p"] = last.get("p"), now
        same = before is not None and before.data == now.data
        return now if same and accept(now) else None
    return poll(settled, timeout, what)


def check_overlay(t: Test, extents, plain: Pixels, extra: int, what: str) -> None:
    """Checks that a ticked swoop is drawn over `what`: at least `extra` more
    grey pixels than the `plain` grab had."""
    try:
        overlaid = poll(lambda: (lambda p: p if p.greys() > plain.greys() + extra else None)(
            t.session.pixels(extents)), 10, f"the grey overlay on {what}")
        t.check(True, f"the ticked swoop is drawn over {what} ({plain.greys()} grey pixels "
                      f"before, {overlaid.greys()} after)")
    except E2EFailure as failure:
        t.check(False, f"no grey overlay on {what} after ticking: {failure}")


def quit_with_ctrl_q(t: Test, app: "Program", win: int, run: str = "") -> Result:
    """Quits with Ctrl+Q and checks the program ended cleanly: status 0,
    nothing on standard output and no warnings on standard error."""
    t.session.key("ctrl+q", window=win)
    end = app.wait_exit(10)
    leaked = toolkit_chooser_leak(end.stderr)
    if leaked is not None:
        print(f"  note  the toolkit's file chooser lost {leaked} bytes by itself{run} "
              "(the leak checker's exit status 1 is taken for 0)")
    t.check_equal(0 if leaked is not None and end.status == 1 else end.status, 0,
                  f"exit status{run} after Ctrl+Q")
    if not t.check_equal(unexpected_messages(end.stderr), [],
                         f"warnings or criticals on the program's standard error{run}"):
        print(f"  standard error{run}, its end (all of it beside the screenshots):\n"
              f"{end.stderr[-6000:]}")
    t.check_equal(end.stdout, "", f"standard output of the program{run}")
    return end


def run_test(test_name: str, scenario: Callable[[Test], None],
             argv: Optional[Sequence[str]] = None) -> None:
    """Parses --program, --source and --output, runs the scenario in a fresh
    Session, prints the outcome and exits 0 (all checks passed) or 1."""
    parser = argparse.ArgumentParser(description=f"end-to-end test {test_name}")
    parser.add_argument("--program", required=True, help="the built sk-gui")
    parser.add_argument("--source", required=True, help="the source checkout")
    parser.add_argument("--output", required=True, help="folder for screenshots")
    parser.add_argument("--cli", help="the built skimra-cli (reference reports)")
    args = parser.parse_args(argv)
    for var in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
        if not os.environ.get(var):
            print(f"{test_name}: {var} is not set; run the test under "
                  "scripts/with-display --dbus -- (see tests/e2e/README.md)")
            sys.exit(1)
    session = Session(test_name, args.program, args.source, args.output, args.cli)
    test = Test(session)
    error = None
    try:
        screen = session.screen_size()
        test.require(screen is not None,
                     f"the X display {os.environ['DISPLAY']} answers (screen {screen})")
        scenario(test)
    except E2EFailure as failure:
        error = f"stopped: {failure}"
    except Exception:
        error = "stopped by an error in the test:\n" + traceback.format_exc()
    finally:
        session.close()
    seconds = time.monotonic() - test._t0
    if error:
        test.failures.append(error)
        print(f"  FAIL  {error}")
    for shot in session.screenshots:
        print(f"screenshot: {shot}")
    print(f"{test_name}: {test.passed} checks passed, {len(test.failures)} failed, "
          f"{seconds:.1f} s")
    if test.failures:
        print("failed:")
        for message in test.failures:
            print(f"  - {message.splitlines()[0]}")
    sys.exit(1 if test.failures else 0)
