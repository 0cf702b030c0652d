#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""End-to-end: the window of a first start, and a second launch handing a
swoop file over to it.

1. Start sk-gui with no settings; its one window "Skimra" appears, 1370 x 980
   and centred on the 1920 x 1080 screen.
2. Read the window through the accessibility bus: the menus and their items
   (each menu opened with its mnemonic key and closed with Escape, as a user
   does), the options, the gate label, the notebook tabs, no player.
3. Launch sk-gui again with an example swoop: it hands the file over and
   ends at once with status 0; the first keeps its one window, which now
   lists the swoop, selects it and shows its report.
4. Quit with Ctrl+Q: status 0, and the window size is stored.
"""
import re
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, str(Path(__file__).resolve().parent))

from skimra_e2e import (WINDOW_TITLE, Node, Test, poll, quit_with_ctrl_q,  # noqa: E402
                        run_test)

SWOOP = "swoop-270-right.csv"

# The menus as a user sees them: the label with its mnemonic underscore, the
# role of the item and its accelerator in the toolkit's notation ("" none).
# The export items are insensitive until there is something to export (the
# bridge then reports no key bindings for them).
INSENSITIVE_AT_START = {"_Export page...", "Export _samples..."}
MENUS = [
    ("_File", [
        ("Open _gate...", "menu item", "<Primary>g"),
        ("Close g_ate...", "menu item", "<Primary>w"),
        None,
        ("Open _swoop...", "menu item", "<Primary>o"),
        ("Close s_woop...", "menu item", "Delete"),
        ("Open _video...", "menu item", "<Primary><Shift>o"),
        None,
        ("_Export page...", "menu item", "<Primary>e"),
        ("Export _samples...", "menu item", ""),
        None,
        ("E_xit", "menu item", "<Primary>q"),
    ]),
    ("_View", [
        ("_1x1 plots", "radio menu item", ""),
        ("_2x2 plots", "radio menu item", ""),
        ("_3x3 plots", "radio menu item", ""),
        None,
        ("Time _scale", "check menu item", ""),
    ]),
    ("_Help", [
        ("_About", "menu item", ""),
    ]),
]

PLOT_PAGES = ["overhead", "side", "dive speed", "swoop speed", "dive angle",
              "accuracy", "turn rate", "heading"]

SCREEN = (1920, 1080)
WINDOW_SIZE = (1370, 980)

def plain(label):
    """A mnemonic label as the accessible name shows it: "Open _gate..." -> "Open gate..."."""
    return label.replace("_", "")


def mnemonic(label):
    return label[label.index("_") + 1].lower()


def expected_items(menu_label, items):
    """(role, name, key bindings) of a menu's children, as the bridge reports them:
    "<item mnemonic>;<Alt><menu mnemonic>:<item mnemonic>;<accelerator>"."""
    out = []
    for item in items:
        if item is None:
            out.append(("separator", "", None))
            continue
        label, role, accel = item
        m = mnemonic(label)
        keys = None if label in INSENSITIVE_AT_START else f"{m};<Alt>{mnemonic(menu_label)}:{m};{accel}"
        out.append((role, plain(label), keys))
    return out


def check_menus(t: Test, app, win):
    """Opens each menu with its mnemonic key, reads its items, closes it."""
    s = t.session
    for menu_label, items in MENUS:
        name = plain(menu_label)
        key = f"alt+{mnemonic(menu_label)}"
        s.key(key, window=win)

        def menu_open(tree, name=name):
            menu = tree.find("menu", name)
            shown = menu and menu.children and all(
                c.has("showing") for c in menu.children)
            return menu if shown and menu.has("selected") else None

        _, menu = app.wait_tree(menu_open, f"the {name} menu to open after {key}",
                                timeout=10)
        t.check(True, f"{key} opens the {name} menu")
        if name == "File":
            s.screenshot("menu-file")
        t.check_equal(menu.keys, f"<Alt>{mnemonic(menu_label)};<Alt>{mnemonic(menu_label)};",
                      f"key bindings of the {name} menu")
        actual = [(c.role, c.name, c.keys) for c in menu.children]
        t.check_equal(actual, expected_items(menu_label, items),
                      f"items of the {name} menu (role, name, mnemonic and accelerator)")
        insensitive = {plain(label) for label in INSENSITIVE_AT_START}
        t.check(all(c.has("sensitive") != (c.name in insensitive)
                    for c in menu.children if c.role != "separator"),
                f"every item of the {name} menu but the exports is sensitive")
        if name == "View":
            checked = [c.name for c in menu.children if c.has("checked")]
            t.check_equal(checked, ["1x1 plots"],
                          "checked View items with no settings (1 plot a page, no time scale)")

        s.key("Escape", window=win)

        def menu_closed(tree, name=name):
            menu = tree.find("menu", name)
            return menu is not None and not menu.has("selected") and \
                not any(c.has("showing") for c in menu.children)

        app.wait_tree(menu_closed, f"the {name} menu to close after Escape", timeout=10)
        t.check(True, f"Escape closes the {name} menu")


def check_first_window(t: Test, app, win, frame: Node):
    s = t.session
    geometry = s.window_geometry(win)
    t.check_equal((geometry["WIDTH"], geometry["HEIGHT"]), WINDOW_SIZE,
                  "X window size on a 1920 x 1080 screen with no stored size")
    t.check_equal((geometry["X"], geometry["Y"]),
                  ((SCREEN[0] - WINDOW_SIZE[0]) // 2, (SCREEN[1] - WINDOW_SIZE[1]) // 2),
                  "X window position (centred)")
    t.check_equal(frame.extents and tuple(frame.extents[2:]), WINDOW_SIZE,
                  "size of the accessible frame")

    bar = frame.find("menu bar")
    t.check(bar is not None, "the window has a menu bar")
    if bar is not None:
        t.check_equal(bar.child_names(), [plain(m) for m, _ in MENUS], "menus of the menu bar")

    metric = frame.find("check box", "metric units")
    pond = frame.find("check box", "draw pond")
    t.check(metric is not None, "check box 'metric units' exists")
    t.check(pond is not None, "check box 'draw pond' exists")
    if metric is not None:
        t.check(not metric.has("checked") and metric.has("sensitive"),
                f"'metric units' is unchecked and sensitive (states {sorted(metric.states)})")
    if pond is not None:
        t.check(pond.has("checked") and not pond.has("sensitive"),
                f"'draw pond' is checked and insensitive without a gate "
                f"(states {sorted(pond.states)})")

    gate = frame.find("panel", "gate")
    t.check(gate is not None and gate.find("label", "(none selected)") is not None,
            "the gate frame shows '(none selected)'")

    tabs = frame.find("page tab list")
    t.check(tabs is not None, "the window has a notebook")
    if tabs is not None:
        t.check_equal(tabs.child_names("page tab"), ["metrics"] + PLOT_PAGES,
                      "notebook tabs with 1 plot a page")
        selected = [c.name for c in tabs.children if c.has("selected")]
        t.check_equal(selected, ["metrics"], "the current notebook page")
        report = tabs.find("text")
        t.check(report is not None and report.text == "",
                "the results view is empty with no swoop open")

    kml = frame.find("push button", "view in Google Earth")
    t.check(kml is not None and not kml.has("sensitive"),
            "'view in Google Earth' is there and insensitive with no swoop")
    t.check(frame.find("push button", re.compile("play|pause")) is None
            and frame.find("slider") is None,
            "no player (time scale off with no settings)")
    rows = frame.find_all("list item")
    t.check_equal(len(rows), 0, "swoop rows before the handover")


def check_handover(t: Test, app, win):
    s = t.session
    swoop = s.example(SWOOP)
    second = s.run(swoop, timeout=20)
    t.check_equal(second.status, 0, "exit status of the second launch")
    t.check(second.seconds < 5.0,
            f"the second launch ends at once ({second.seconds:.2f} s, limit 5 s)")
    t.check_equal((second.stdout, second.stderr.strip()), ("", ""),
                  "output of the second launch")
    t.require(app.running(), "the first sk-gui still runs after the handover")

    def has_row(tree):
        frame = tree.find("frame", "Skimra")
        return frame and frame.find("list item",
                                     where=lambda n: n.find(name=f"Close {SWOOP}") or
                                     n.find("label", SWOOP))

    try:
        tree, _ = app.wait_tree(has_row, f"a swoop row for {SWOOP}", timeout=20)
    except AssertionError as failure:
        t.check(False, f"after the handover the swoop list has no row for {SWOOP}: {failure}")
        tree = app.tree()
    s.screenshot("handover")

    windows = poll(lambda: app.windows() or None, 5, "the first window")
    t.check_equal(len(s.windows()), 1, "visible 'Skimra' X windows after the handover")
    t.check_equal(windows, [win], "the first program keeps its window")
    frames = tree.find_all("frame")
    t.check_equal([f.name for f in frames], [WINDOW_TITLE],
                  "frames of the first program after the handover")
    frame = tree.find("frame", WINDOW_TITLE)

    rows = frame.find_all("list item")
    t.check_equal(len(rows), 1, "swoop rows after the handover")
    row = rows[0] if rows else Node("list item", "", frozenset())
    tick = row.find("check box")
    close = row.find("push button")
    t.check(tick is not None and tick.name == f"Compare {SWOOP}",
            f"the row has a check box named 'Compare {SWOOP}' "
            f"(found {tick.name if tick else None!r})")
    t.check(tick is not None and not tick.has("checked"), "the row's check box is not ticked")
    t.check(close is not None and close.name == f"Close {SWOOP}",
            f"the row has a push button named 'Close {SWOOP}' "
            f"(found {close.name if close else None!r})")
    t.check(row.find("label", SWOOP) is not None, f"the row shows the base name {SWOOP}")
    t.check(row.has("selected"), "the new row is selected")

    report = frame.find("text")
    text = report.text if report is not None and report.text else ""
    t.check(re.search(r"degrees of rotation:\s+270 deg \(right-hand\)", text),
            "the results view shows the report of the swoop (270 deg, right-hand)")
    kml = frame.find("push button", "view in Google Earth")
    t.check(kml is not None and kml.has("sensitive"),
            "'view in Google Earth' is sensitive with a swoop open")
    gate = frame.find("panel", "gate")
    t.check(gate is not None and gate.find("label", "(none selected)") is not None,
            "the handed-over file is opened as a swoop, not as a gate")


def scenario(t: Test):
    s = t.session
    t.step("first start, no settings")
    t.require(s.screen_size() == SCREEN, f"the X screen is {SCREEN[0]} x {SCREEN[1]}")
    t.check(not s.settings_path.exists(), "no settings file before the start")
    app = s.launch()
    win = app.wait_window()
    t.check(True, "the window 'Skimra' appears")
    tree, frame = app.wait_tree(lambda a: a.find("page tab", "metrics") and
                                a.find("frame", WINDOW_TITLE),
                                "the window on the accessibility bus")
    t.check_equal([(c.role, c.name) for c in tree.children], [("frame", WINDOW_TITLE)],
                  "top-level accessibles of the program")
    s.screenshot("start")
    check_first_window(t, app, win, frame)

    t.step("menus")
    check_menus(t, app, win)

    t.step("second launch with a swoop file")
    check_handover(t, app, win)

    t.step("quit with Ctrl+Q")
    quit_with_ctrl_q(t, app, win)
    settings = s.read_settings()
    t.check_equal((settings.get("window_width"), settings.get("window_height")),
                  tuple(str(v) for v in WINDOW_SIZE), "window size stored at the end")


if __name__ == "__main__":
    run_test("shell_handover", scenario)
