#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""End-to-end: the pointer over the plots.

1. Start sk-gui with the time scale on, four plots to a page, the example
   gate and a swoop, and show "plots 1".
2. Move the mouse over the first plot with xdotool: the "readout" label
   appears (read through the accessibility bus) and names the swoop.
3. Move it off the plots: the readout goes.
4. Click on the plot: the "time" slider moves to the clicked sample.
5. Quit with Ctrl+Q: status 0 and a clean standard error.
"""
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, str(Path(__file__).resolve().parent))

from skimra_e2e import WINDOW_TITLE, Test, quit_with_ctrl_q, run_test, tab_names  # noqa: E402

SWOOP = "swoop-270-right.csv"
GATE = "gate-walk.csv"


def readout(tree):
    frame = tree.find("frame", WINDOW_TITLE)
    label = frame and frame.find("label", "readout")
    return label.text if label and label.extents and label.text else None


def page(tree):
    frame = tree.find("frame", WINDOW_TITLE)
    return frame and frame.find("drawing area", "plots 1")


def slider(tree):
    frame = tree.find("frame", WINDOW_TITLE)
    return frame and frame.find("slider", "time")


def scenario(t: Test):
    s = t.session
    swoop = s.copy_example(SWOOP, s.folder / "files")

    t.step("start with the time scale, the gate and a swoop")
    s.write_settings({"enable_scale": "true", "plots_per_page": "4", "gate_file": s.example(GATE)})
    app = s.launch(str(swoop))
    win = app.wait_window()
    tree, _ = app.wait_tree(lambda a: "plots 1" in tab_names(a) and slider(a), "the plot pages and the slider")
    s.click_node(tree.find("frame", WINDOW_TITLE).find("page tab", "plots 1"))
    tree, _ = app.wait_tree(lambda a: page(a) and page(a).extents, "the page in view")
    x, y, w, h = page(tree).extents
    start = slider(tree).value["current"]

    t.step("hover over the first plot")
    s.xdotool("mousemove", "--sync", str(x + w // 4), str(y + h // 4))
    tree, _ = app.wait_tree(readout, "the readout beside the pointer")
    t.check(SWOOP in readout(tree), f"the readout names the swoop: {readout(tree)!r}")
    s.screenshot("hover")

    t.step("leave the plots")
    s.xdotool("mousemove", "--sync", str(x + 2), str(y + 2))
    app.wait_tree(lambda a: readout(a) is None, "the readout to go")

    t.step("click on the plot")
    s.click(x + w // 4 + 15, y + h // 4 + 10)
    tree, _ = app.wait_tree(lambda a: slider(a) and slider(a).value["current"] != start,
                            "the slider at the clicked sample")
    t.check(slider(tree).value["min"] <= slider(tree).value["current"] <= slider(tree).value["max"],
            f"the slider inside its range: {slider(tree).value}")

    t.step("quit")
    quit_with_ctrl_q(t, app, win)


if __name__ == "__main__":
    run_test("plots_pointer", scenario)
