#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""End-to-end: the whole program as a pilot uses it, and what it remembers.

First run, with no settings:
1. Open the gate walk through the gate chooser (Ctrl+G, Ctrl+L, the typed
   path, Enter): the gate label shows its name; "gate_dir" and "gate_file"
   are stored.
2. Open two swoops through the swoop chooser (Ctrl+O twice, each typed):
   two rows, the one opened last selected; "swoop_dir" is stored.
3. "-" twice: 4 plots a page ("metrics", "plots 1", "plots 2"), then 9
   ("metrics", "plots"); "3x3 plots" is checked; "plots_per_page" is 9.
4. View > Time scale with the keyboard (Alt+V, then its mnemonic S): the
   play button and the slider appear; "enable_scale" is stored.
5. Select the first row (click its name), turn to the "plots" page (Right)
   and tick the second row's "Compare" box (click): grey overlays appear.
6. Click "play": the button is named "pause" while the slider runs in real
   time from its minimum to its maximum; there it stops, named "play" again.
7. Click "metric units": the report is skimra-cli's metric report and the
   slider is back at its start; "use_metric" is stored.
8. Make the window smaller (as a window manager would) and quit with Ctrl+Q:
   the settings file holds plots_per_page=9, enable_scale=true,
   use_metric=true, the new window size, gate_file, gate_dir and swoop_dir.
Second run, no arguments:
9. The window comes back at the stored size with the layout ("metrics",
   "plots"), the player, "metric units" ticked and the gate open.
10. Ctrl+O opens the swoop chooser in the stored folder (its path bar and
    its file list); Escape cancels it and changes nothing.
11. Ctrl+O again with only the base name typed opens that swoop from the
    stored folder; its report is in metres and km/h, as skimra-cli -m writes it.
Screenshots of each step: <output>/whole_app-<step>.png.
"""
import re
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, str(Path(__file__).resolve().parent))

from skimra_e2e import (WINDOW_TITLE, E2EFailure, Test, check_overlay, current_tab,  # noqa: E402
                        gate_label, poll, report_text, run_test, settled_pixels, swoop_rows,
                        quit_with_ctrl_q, tab_names, text_diff)

GATE = "gate-walk.csv"
FIRST, SECOND, OTHER = "swoop-270-right.csv", "swoop-450-left.csv", "swoop-carve.csv"
RESIZED = (1280, 900)  # the window size the pilot leaves behind


def choose_file(t: Test, app, win: int, accel: str, title: str, typed: str, shot: str):
    """Opens a file chooser with its accelerator, types a name into its
    location field (Ctrl+L) and accepts it with Enter."""
    s = t.session
    s.key(accel, window=win)
    dialog = s.wait_windows(title, timeout=20, pid=app.pid)
    app.wait_tree(lambda a: a.find("file chooser", title), f"the chooser {title!r}")
    s.key("ctrl+l", window=dialog)

    def location(tree):
        chooser = tree.find("file chooser", title)
        return chooser and chooser.find("text", where=lambda n: n.has("focused", "showing"))
    app.wait_tree(location, f"the location field of {title!r} after Ctrl+L", timeout=10)
    s.type_text(typed, window=dialog)
    app.wait_tree(lambda a: (lambda n: n is not None and n.text == typed)(location(a)),
                  f"{typed!r} in the location field", timeout=15)
    s.screenshot(shot)
    s.key("Return", window=dialog)
    s.wait_no_window(title, timeout=15)
    t.check(True, f"{accel} opens {title!r}; the typed {typed!r} is accepted with Enter")


def path_bar_folder(chooser) -> tuple:
    """(the folder the chooser shows, the path bar's buttons): the checked
    button names the current folder, the buttons after it its parents up to
    "File System Root"."""
    layer = chooser.find("filler", "PathBar Layer")
    bar = layer and layer.find("panel")
    buttons = [c for c in bar.children if c.role == "toggle button"] if bar else []
    names = [b.name for b in buttons]
    checked = [i for i, b in enumerate(buttons) if b.has("checked")]
    if len(checked) != 1:
        return None, names
    parts = list(reversed(names[checked[0]:]))
    if not parts or parts[0] != "File System Root":
        return None, names
    return "/" + "/".join(parts[1:]), names


def expect_rows(t: Test, app, rows: list, selected: str, report: str, what: str,
                timeout: float = 20):
    """Waits until the list shows these rows with that one selected and its
    report; a missed deadline is a failed check with a diff of the report."""
    def shown(tree):
        now = swoop_rows(tree)
        return ([r.label for r in now] == rows
                and [r.label for r in now if r.selected] == [selected]
                and report_text(tree) == report)
    try:
        tree, _ = app.wait_tree(shown, what, timeout=timeout)
        t.check(True, f"{what}: rows {rows}, {selected} selected with its report")
        return tree
    except E2EFailure as failure:
        tree = app.tree()
        now = swoop_rows(tree) if tree else []
        text = report_text(tree) if tree else ""
        t.check(False, f"{what}: expected rows {rows} with {selected} selected; shown "
                       f"{[r.label for r in now]}, selected {[r.label for r in now if r.selected]}"
                       f"\n{text_diff(report, text or '', 'report') if text != report else ''}"
                       f"{str(failure).splitlines()[0]}")
        return tree


def player(tree):
    """(play button, slider) of the window, each None when absent."""
    frame = tree.find("frame", WINDOW_TITLE)
    if frame is None:
        return None, None
    return (frame.find("push button", re.compile("play|pause")), frame.find("slider"))


def first_run(t: Test, gate: Path, swoops: Path, reports: dict):
    s = t.session
    t.step("first start, no settings")
    t.check(not s.settings_path.exists(), "no settings file before the start")
    app = s.launch()
    win = app.wait_window()
    app.wait_tree(lambda a: a.find("page tab", "metrics"), "the window on the accessibility bus")
    s.screenshot("start")

    t.step("open the gate through the gate chooser")
    choose_file(t, app, win, "ctrl+g", "Open Gate", str(gate), "gate-chooser")
    tree, _ = app.wait_tree(lambda a: gate_label(a) == GATE, "the gate label to show the gate",
                            timeout=20)
    t.check(True, f"the gate label shows {GATE!r}")
    pond = tree.find("check box", "draw pond")
    t.check(pond is not None and pond.has("sensitive", "checked"),
            "'draw pond' is ticked and sensitive with a gate open")
    settings = s.read_settings()
    t.check_equal((settings.get("gate_dir"), settings.get("gate_file")),
                  (str(gate.parent), str(gate)), "stored gate_dir and gate_file after the open")
    s.screenshot("gate")

    t.step("open two swoops through the swoop chooser")
    choose_file(t, app, win, "ctrl+o", "Open Swoop", str(swoops / FIRST), "swoop-chooser-1")
    expect_rows(t, app, [FIRST], FIRST, reports[FIRST], f"after opening {FIRST}")
    choose_file(t, app, win, "ctrl+o", "Open Swoop", str(swoops / SECOND), "swoop-chooser-2")
    tree = expect_rows(t, app, [FIRST, SECOND], SECOND, reports[SECOND],
                       f"after opening {SECOND} (the new row is selected)")
    t.check_equal(s.read_settings().get("swoop_dir"), str(swoops), "stored swoop_dir")
    s.screenshot("two-swoops")

    t.step("3x3 layout with the keyboard")
    for count, tabs in ((4, ["metrics", "plots 1", "plots 2"]), (9, ["metrics", "plots"])):
        s.key("minus", window=win)
        try:
            tree, _ = app.wait_tree(lambda a, tabs=tabs: tab_names(a) == tabs,
                                    f"the pages {tabs} after '-'", timeout=10)
            t.check(True, f"'-' gives {count} plots a page: pages {tabs}")
        except E2EFailure as failure:
            t.check(False, str(failure))
            tree = app.tree()
        poll(lambda count=count: s.read_settings().get("plots_per_page") == str(count), 5,
             f"plots_per_page={count} in the settings file",
             detail=lambda: f"  settings: {s.read_settings()}")
        t.check(True, f"plots_per_page={count} is stored")
    t.check_equal(current_tab(tree), "metrics", "the page shown after the layout changes")
    checked = [n.name for n in tree.find("menu", "View").children if n.has("checked")]
    t.check_equal(checked, ["3x3 plots"], "checked items of the View menu")
    s.screenshot("layout-3x3")

    t.step("View > Time scale with the keyboard")
    s.key("alt+v", window=win)
    app.wait_tree(lambda a: (lambda m: m is not None and m.has("selected") and all(
        c.has("showing") for c in m.children))(a.find("menu", "View")),
        "the View menu to open after Alt+V", timeout=10)
    s.screenshot("view-menu")
    s.key("s", window=win)
    tree, _ = app.wait_tree(lambda a: all(player(a)) and not a.find("menu", "View").has("selected"),
                            "the player after View > Time scale", timeout=10)
    button, slider = player(tree)
    t.check_equal(button.name, "play", "the player's button")
    t.check(tree.find("check menu item", "Time scale").has("checked"), "'Time scale' is checked")
    t.check(slider.value is not None and slider.value["min"] < slider.value["max"]
            and slider.value["current"] == slider.value["min"],
            f"the slider spans the selected swoop and stands at its start ({slider.value})")
    poll(lambda: s.read_settings().get("enable_scale") == "true", 5,
         "enable_scale=true in the settings file")
    t.check(True, "enable_scale=true is stored")
    s.screenshot("time-scale")

    t.step("select the first swoop, plots page, tick the second")
    rows = swoop_rows(tree)
    s.click_node(rows[0].node.find("label"))
    tree = expect_rows(t, app, [FIRST, SECOND], FIRST, reports[FIRST],
                       "after a click on the first row's name")
    s.key("Right", window=win)
    tree, area = app.wait_tree(lambda a: (lambda p: p and p.find(
        "drawing area", where=lambda n: n.has("showing") and n.extents))(
        a.find("page tab", "plots", where=lambda n: n.has("selected"))),
        "the 'plots' page after Right", timeout=10)
    plain = settled_pixels(s, area.extents, "the plots page on the screen")
    s.click_node(swoop_rows(tree)[1].tick)
    tree, _ = app.wait_tree(lambda a: swoop_rows(a)[1].ticked, f"'Compare {SECOND}' ticked", 10)
    t.check(True, f"a click ticks 'Compare {SECOND}'")
    check_overlay(t, area.extents, plain, 2000, "the plots")
    s.screenshot("overlay")

    t.step("play to the end")
    button, slider = player(tree)
    low, high = slider.value["min"], slider.value["max"]
    t.check_equal(slider.value["current"], low, "the slider's value before playing")
    t.require(0 < high - low <= 60000, f"the slider's range is at most a minute ({low} to {high})")
    s.click_node(button)
    started = time.monotonic()
    seen = []

    def at_end(tree):
        button, slider = player(tree)
        seen.append((time.monotonic() - started, button and button.name,
                     slider and slider.value and slider.value["current"]))
        return button is not None and button.name == "play" and slider.value["current"] == high

    tree, _ = app.wait_tree(at_end, "the player to reach the end of the slider",
                            timeout=(high - low) / 1000 + 30)
    took = time.monotonic() - started
    playing = [v for _, name, v in seen if name == "pause"]
    t.check(playing, "the button is named 'pause' while playing")
    t.check(any(low < v < high for v in playing) and playing == sorted(playing),
            f"the slider moves forward while playing (values seen {playing[:3]}...{playing[-3:]})")
    t.check((high - low) / 1000 - 0.5 <= took <= (high - low) / 1000 + 15,
            f"playback runs in real time: {(high - low) / 1000:.1f} s of slider in {took:.1f} s")
    s.screenshot("played")

    t.step("metric units")
    s.click_node(tree.find("check box", "metric units"))
    tree = expect_rows(t, app, [FIRST, SECOND], FIRST, reports[FIRST + " metric"],
                       "after ticking 'metric units' (the report in metres and km/h)")
    t.check(tree.find("check box", "metric units").has("checked"), "'metric units' is ticked")
    t.check_equal(player(tree)[1].value["current"], low,
                  "the slider is back at its start after the refresh")
    poll(lambda: s.read_settings().get("use_metric") == "true", 5,
         "use_metric=true in the settings file")
    t.check(True, "use_metric=true is stored")
    s.screenshot("metric")

    t.step("resize the window, quit with Ctrl+Q")
    s.xdotool("windowsize", "--sync", str(win), *(str(v) for v in RESIZED))
    app.wait_tree(lambda a: (lambda f: f is not None and f.extents and
                             tuple(f.extents[2:]) == RESIZED)(a.find("frame", WINDOW_TITLE)),
                  f"the window to be {RESIZED[0]} x {RESIZED[1]}", timeout=10)
    s.screenshot("resized")
    quit_with_ctrl_q(t, app, win)
    settings = s.read_settings()
    expected = {"plots_per_page": "9", "enable_scale": "true", "use_metric": "true",
                "window_width": str(RESIZED[0]), "window_height": str(RESIZED[1]),
                "gate_file": str(gate), "gate_dir": str(gate.parent), "swoop_dir": str(swoops)}
    t.check_equal({k: settings.get(k) for k in expected}, expected, "the stored settings")


def second_run(t: Test, gate: Path, swoops: Path, reports: dict):
    s = t.session
    t.step("second start, no arguments")
    app = s.launch()
    win = app.wait_window()
    tree, _ = app.wait_tree(lambda a: gate_label(a) == GATE and all(player(a)),
                            "the window with its gate and player")
    s.screenshot("restart")
    geometry = s.window_geometry(win)
    t.check_equal((geometry["WIDTH"], geometry["HEIGHT"]), RESIZED, "window size after the restart")
    t.check_equal(tab_names(tree), ["metrics", "plots"], "pages after the restart (9 a page)")
    t.check_equal(current_tab(tree), "metrics", "the page shown after the restart")
    view = tree.find("menu", "View")
    t.check_equal([n.name for n in view.children if n.has("checked")],
                  ["3x3 plots", "Time scale"], "checked items of the View menu after the restart")
    button, slider = player(tree)
    t.check(button is not None and button.name == "play" and slider is not None,
            "the play button and the slider are back")
    metric = tree.find("check box", "metric units")
    t.check(metric is not None and metric.has("checked"), "'metric units' is ticked again")
    t.check(tree.find("check box", "draw pond").has("sensitive", "checked"),
            "'draw pond' is ticked and sensitive (the gate is open)")
    t.check_equal(swoop_rows(tree), [], "rows after the restart")

    t.step("the swoop chooser opens in the stored folder")
    s.key("ctrl+o", window=win)
    dialog = s.wait_windows("Open Swoop", pid=app.pid)

    def listed(tree):
        chooser = tree.find("file chooser", "Open Swoop")
        table = chooser and chooser.find("table", "Files")
        names = {n.name for n in table.find_all("table cell")} if table else set()
        return chooser if {FIRST, SECOND, OTHER} <= names else None
    try:
        tree, chooser = app.wait_tree(listed, "the chooser listing the stored folder's swoops")
        t.check(True, f"the chooser's file list shows {FIRST}, {SECOND} and {OTHER}")
    except E2EFailure as failure:
        t.check(False, str(failure).splitlines()[0])
        tree = app.tree()
        chooser = tree.find("file chooser", "Open Swoop")
    folder, buttons = path_bar_folder(chooser) if chooser else (None, [])
    t.check_equal(folder, str(swoops), f"the chooser's folder (path bar {buttons})")
    s.screenshot("chooser-stored-folder")
    s.key("Escape", window=dialog)
    s.wait_no_window("Open Swoop", timeout=10)
    tree = app.tree()
    t.check_equal(swoop_rows(tree), [], "rows after cancelling the chooser")
    t.check_equal(s.read_settings().get("swoop_dir"), str(swoops),
                  "swoop_dir after cancelling the chooser")

    t.step("open a swoop by its base name in the stored folder")
    choose_file(t, app, win, "ctrl+o", "Open Swoop", FIRST, "swoop-by-name")
    tree = expect_rows(t, app, [FIRST], FIRST, reports[FIRST + " metric"],
                       "the swoop opened by name (skimra-cli's metric report)")
    text = report_text(tree) or ""
    t.check(re.search(r"\d m AGL", text) and "km/h" in text and " ft " not in text
            and "mph" not in text, "the report is in metres and km/h")
    s.screenshot("metric-report")
    quit_with_ctrl_q(t, app, win, " of the second run")


def scenario(t: Test):
    s = t.session
    t.step("copies of the examples, reference reports")
    gate = s.copy_example(GATE, s.folder / "course")
    swoops = s.folder / "flights"
    for name in (FIRST, SECOND, OTHER):
        s.copy_example(name, swoops)
    reports = {}
    for name in (FIRST, SECOND):
        reports[name] = s.cli_report(swoops / name, gate)
        reports[name + " metric"] = s.cli_report(swoops / name, gate, "-m")
    first_run(t, gate, swoops, reports)
    second_run(t, gate, swoops, reports)


if __name__ == "__main__":
    run_test("whole_app", scenario)
