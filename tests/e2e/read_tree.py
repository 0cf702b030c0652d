#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""Prints the accessibility tree of one running application as JSON.

Run by the harness (skimra_e2e.py) in a child process with a deadline,
because libatspi can block inside a D-Bus call. It must run under the
system interpreter (/usr/bin/python3), the only one that sees pyatspi.

    read_tree.py --pid PID [--max-nodes N]

Output, one JSON object on standard output:
    {"apps": [[name, pid], ...],   every application on the bus
     "tree": NODE or null}         the application whose process is PID

NODE: {"role": "push button", "name": "...", "states": ["enabled", ...],
       "children": [NODE, ...]} plus, where they apply,
       "description": text,
       "extents": [x, y, width, height]   (screen pixels, showing nodes),
       "text": the whole text (text views, entries, terminals, labels),
       "value": {"current": v, "min": lo, "max": hi} (sliders, spin buttons),
       "keys": the key bindings of the first action (menus, menu items,
               buttons, check boxes), e.g. "g;<Alt>f:g;<Primary>g".
"""
import argparse
import json
import sys

import pyatspi

TEXT_ROLES = {"text", "entry", "password text", "terminal", "paragraph", "document text", "label"}
VALUE_ROLES = {"slider", "spin button", "progress bar"}
KEY_ROLES = {"menu", "menu item", "check menu item", "radio menu item", "push button",
             "toggle button", "check box", "radio button"}


def read_node(acc, budget, depth=0):
    """Plain data of one accessible and, depth first, its children."""
    budget[0] -= 1
    role = acc.getRoleName()
    node = {"role": role, "name": acc.name or "", "states": []}
    try:
        states = acc.getState().getStates()
        node["states"] = sorted(pyatspi.stateToString(s) for s in states)
    except Exception:  # a node that went away while being read
        node["states"] = ["defunct"]
        node["children"] = []
        return node
    if acc.description:
        node["description"] = acc.description
    if "showing" in node["states"]:
        try:
            ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            node["extents"] = [ext.x, ext.y, ext.width, ext.height]
        except NotImplementedError:
            pass
    if role in TEXT_ROLES:
        try:
            text = acc.queryText()
            node["text"] = text.getText(0, -1)
        except NotImplementedError:
            pass
    if role in VALUE_ROLES:
        try:
            val = acc.queryValue()
            node["value"] = {"current": val.currentValue, "min": val.minimumValue,
                             "max": val.maximumValue}
        except NotImplementedError:
            pass
    if role in KEY_ROLES:
        try:
            action = acc.queryAction()
            if action.nActions > 0:
                node["keys"] = action.getKeyBinding(0)
        except NotImplementedError:
            pass
    children = []
    if depth < 60:
        for i in range(acc.childCount):
            if budget[0] <= 0:
                break
            child = acc.getChildAtIndex(i)
            if child is not None:
                children.append(read_node(child, budget, depth + 1))
    node["children"] = children
    return node


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--max-nodes", type=int, default=5000)
    args = parser.parse_args()

    desktop = pyatspi.Registry.getDesktop(0)
    apps, tree = [], None
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None:
            continue
        try:
            pid = app.get_process_id()
        except Exception:
            continue
        apps.append([app.name or "", pid])
        if pid == args.pid and tree is None:
            tree = read_node(app, [args.max_nodes])
    json.dump({"apps": apps, "tree": tree}, sys.stdout)
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
