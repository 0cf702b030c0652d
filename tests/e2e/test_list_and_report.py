#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""End-to-end: the swoop list and the report of the selected swoop.

1. Store the copy of the example gate walk as the remembered gate and start
   sk-gui with three example swoops on the command line, in reverse order:
   the gate label shows "gate-walk.csv", the list has three rows in byte
   order of their paths (base name, "Compare <name>" tick box, "Close <name>"
   button), the first is selected and the "metrics" page shows its report
   exactly as skimra-cli writes it for the same gate walk and swoop.
2. Click the first row's name (the list takes the keyboard focus) and walk
   the list with the arrow keys: Down moves to the next row and wraps from
   the last to the first, Up wraps from the first to the last; each time the
   report is the one of the selected swoop.
3. Click the close button of the selected first row: the new first row is
   selected and its report shown.
4. Turn to the "overhead" page with Right, tick the other row's "Compare"
   box with a click: its path is drawn in grey over the plot (more grey
   pixels on the page, the selection and the report unchanged); untick it:
   the page is drawn as before.
5. Close the unselected row (the selection stays), then the only row: the
   list and the report are empty, "view in Google Earth" insensitive.
Screenshots of each step: <output>/list_and_report-<step>.png.
"""
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, str(Path(__file__).resolve().parent))

from skimra_e2e import (E2EFailure, Test, check_overlay, current_tab, gate_label,  # noqa: E402
                        poll, report_text, run_test, settled_pixels, swoop_rows, tab_names,
                        quit_with_ctrl_q, text_diff)

GATE = "gate-walk.csv"
SWOOPS = ["swoop-270-right.csv", "swoop-450-left.csv", "swoop-carve.csv"]  # byte order


class Window:
    """The running program with what the test expects of it."""

    def __init__(self, t: Test, app, win: int, reports: dict):
        self.t, self.app, self.win, self.reports = t, app, win, reports

    def expect(self, rows: list, selected, what: str, timeout: float = 15,
               names: bool = False):
        """Waits until the list shows these rows (base names in order) with
        `selected` selected (None: no row) and the report of that swoop (an
        empty text with none); with names, then checks the accessible names
        of each row's tick box and close button. Returns the tree. A missed
        deadline is a failed check, with what was seen."""
        report = self.reports[selected] if selected else ""

        def shown(tree):
            now = swoop_rows(tree)
            return ([r.label for r in now] == rows
                    and [r.label for r in now if r.selected] == ([selected] if selected else [])
                    and report_text(tree) == report)

        try:
            tree, _ = self.app.wait_tree(shown, what, timeout=timeout)
            self.t.check(True, f"{what}: rows {rows}, {selected or 'none'} selected and "
                               f"{'its report' if selected else 'no report'} shown")
        except E2EFailure as failure:
            tree = self.app.tree()
            now = swoop_rows(tree) if tree else []
            text = report_text(tree) if tree else None
            detail = text_diff(report, text or "", "report") if text != report else ""
            self.t.check(False, f"{what}: expected rows {rows} with {selected} selected and its "
                                f"report; shown rows {[r.label for r in now]}, selected "
                                f"{[r.label for r in now if r.selected]}\n{detail}"
                                f"{str(failure).splitlines()[0]}")
            return tree
        for row in swoop_rows(tree) if names else []:
            self.t.check(row.tick is not None and row.tick.name == f"Compare {row.label}",
                         f"{what}: row {row.label} has the tick box 'Compare {row.label}' "
                         f"(found {row.tick and row.tick.name!r})")
            self.t.check(row.close is not None and row.close.name == f"Close {row.label}",
                         f"{what}: row {row.label} has the button 'Close {row.label}' "
                         f"(found {row.close and row.close.name!r})")
        return tree

    def row(self, tree, name):
        found = [r for r in swoop_rows(tree) if r.label == name]
        if not found:
            raise E2EFailure(f"no row {name} in the list")
        return found[0]


def overhead_page(tree):
    """The drawing area of the selected "overhead" page, when it is showing."""
    tab = tree.find("page tab", "overhead", where=lambda n: n.has("selected"))
    area = tab and tab.find("drawing area", where=lambda n: n.has("showing") and n.extents)
    return area


def settled_plot(s, extents, what, timeout=10):
    """The pixels of a plot page once it is on the screen and still: the dark
    grey around the sheet is there (so it is a plot page, not the report)."""
    return settled_pixels(s, extents, what, timeout,
                          accept=lambda p: p.count(lambda r, g, b: r == g == b == 0x54) > 10000)


def scenario(t: Test):
    s = t.session
    t.step("reference reports from skimra-cli")
    work = s.workdir
    gate = s.copy_example(GATE, work)
    swoops = [s.copy_example(name, work) for name in SWOOPS]
    reports = {p.name: s.cli_report(p, gate) for p in swoops}
    t.require(all(r.startswith("exited airplane:") for r in reports.values()),
              "skimra-cli wrote the three reference reports")

    t.step("start with a stored gate and three swoops in reverse order")
    s.write_settings({"gate_file": str(gate)})
    app = s.launch(*[str(p) for p in reversed(swoops)])
    win = app.wait_window()
    w = Window(t, app, win, reports)
    tree = w.expect(SWOOPS, SWOOPS[0], "start", names=True)
    s.screenshot("start")
    t.check_equal(gate_label(tree), GATE, "the gate label")
    pond = tree.find("check box", "draw pond")
    t.check(pond is not None and pond.has("sensitive", "checked"),
            "'draw pond' is ticked and sensitive with the stored gate open")
    t.check_equal(current_tab(tree), "metrics", "the page shown")
    t.check(not any(r.ticked for r in swoop_rows(tree)), "no row is ticked")
    kml = tree.find("push button", "view in Google Earth")
    t.check(kml is not None and kml.has("sensitive"), "'view in Google Earth' is sensitive")
    t.check_equal(s.read_settings().get("gate_file"), str(gate),
                  "the stored gate file after the start")

    t.step("arrow keys in the list")
    s.click_node(w.row(tree, SWOOPS[0]).node.find("label"))
    tree = w.expect(SWOOPS, SWOOPS[0], "click on the first row's name")
    t.check(w.row(tree, SWOOPS[0]).node.has("focused"),
            "the clicked row has the keyboard focus")
    for key, selected, step in (("Down", SWOOPS[1], "down-1"), ("Down", SWOOPS[2], "down-2"),
                                ("Down", SWOOPS[0], "down-wrap"), ("Up", SWOOPS[2], "up-wrap"),
                                ("Up", SWOOPS[1], "up-1"), ("Up", SWOOPS[0], "up-2")):
        s.key(key, window=win)
        tree = w.expect(SWOOPS, selected, f"{key} ({step})")
        t.check(w.row(tree, selected).node.has("focused"),
                f"{key} ({step}): the selected row has the keyboard focus")
        s.screenshot(f"key-{step}")

    t.step("close the selected first row with its close button")
    s.click_node(w.row(tree, SWOOPS[0]).close)
    left = SWOOPS[1:]
    tree = w.expect(left, SWOOPS[1], "after closing the selected first row", names=True)
    s.screenshot("closed-first")

    t.step("overhead page, then tick the other row's Compare box")
    # After the close button removed the focused row nothing has the
    # keyboard focus (the close buttons take none): click the selected row's
    # name (it stays selected) so that Right reaches the list's key handler.
    s.click_node(w.row(tree, SWOOPS[1]).node.find("label"))
    w.expect(left, SWOOPS[1], "click on the selected row's name")
    s.key("Right", window=win)
    tree, area = app.wait_tree(overhead_page, "the 'overhead' page after Right", timeout=15)
    t.check_equal(tab_names(tree)[:2], ["metrics", "overhead"], "the first two pages")
    plain = settled_plot(s, area.extents, "the overhead plot on the screen")
    t.check(plain.greys() > 500, f"the overhead plot is drawn ({plain.greys()} grey pixels)")
    s.screenshot("overhead")
    tick = w.row(tree, SWOOPS[2]).tick
    s.click_node(tick)
    tree, _ = app.wait_tree(lambda a: w.row(a, SWOOPS[2]).ticked, "the tick in the box", 10)
    t.check(True, f"a click ticks 'Compare {SWOOPS[2]}'")
    check_overlay(t, area.extents, plain, 1000, "the overhead plot")
    s.screenshot("overhead-overlay")
    tree = app.tree()
    t.check_equal(current_tab(tree), "overhead", "the page shown after the tick")
    t.check_equal([r.label for r in swoop_rows(tree) if r.selected], [SWOOPS[1]],
                  "the selection after the tick")
    text = report_text(tree)
    t.check(text == reports[SWOOPS[1]], "the report after the tick is still the selected "
            "swoop's\n" + text_diff(reports[SWOOPS[1]], text))

    t.step("untick")
    s.click_node(w.row(tree, SWOOPS[2]).tick)
    app.wait_tree(lambda a: not w.row(a, SWOOPS[2]).ticked, "the box to be unticked", 10)
    try:
        poll(lambda: s.pixels(area.extents).data == plain.data, 10,
             "the overhead plot as it was before the tick")
        t.check(True, "unticking removes the overlay (the page is drawn as before)")
    except E2EFailure as failure:
        t.check(False, f"after unticking the page differs from before the tick: {failure}")
    s.screenshot("overhead-untick")

    t.step("close the unselected row, then the only row")
    s.click_node(w.row(tree, SWOOPS[2]).close)
    tree = w.expect([SWOOPS[1]], SWOOPS[1], "after closing the unselected row")
    s.click_node(w.row(tree, SWOOPS[1]).close)
    tree = w.expect([], None, "after closing the only row")
    kml = tree.find("push button", "view in Google Earth")
    t.check(kml is not None and not kml.has("sensitive"),
            "'view in Google Earth' is insensitive with no swoop")
    s.screenshot("empty")

    t.step("quit with Ctrl+Q")
    quit_with_ctrl_q(t, app, win)
    t.check_equal(s.read_settings().get("gate_file"), str(gate),
                  "the stored gate file at the end")


if __name__ == "__main__":
    run_test("list_and_report", scenario)
