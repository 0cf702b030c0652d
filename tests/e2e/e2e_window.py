# SPDX-License-Identifier: GPL-3.0-or-later

"""The window of sk-gui as plain data: the accessibility tree a reader
reported (Node), readers of the window's parts from it (swoop rows, report,
tabs, gate), and the pixels of a part of the screen. Used through
skimra_e2e."""
from __future__ import annotations

import difflib
import re
from dataclasses import dataclass, field
from typing import Callable, Iterator, Optional, Union

WINDOW_TITLE = "Skimra"  # the title of the main window

# --------------------------------------------------------------------------
# Accessibility tree as plain data

NameMatch = Union[None, str, "re.Pattern[str]", Callable[[str], bool]]


def _name_matches(name: str, match: NameMatch) -> bool:
    if match is None:
        return True
    if isinstance(match, str):
        return name == match
    if isinstance(match, re.Pattern):
        return match.fullmatch(name) is not None
    return bool(match(name))


@dataclass
class Node:
    """One accessible, as read_tree.py reported it."""
    role: str
    name: str
    states: frozenset
    children: list = field(default_factory=list)
    description: str = ""
    extents: Optional[tuple] = None  # (x, y, width, height) on the screen
    text: Optional[str] = None       # text views and entries
    value: Optional[dict] = None     # sliders: {"current", "min", "max"}
    keys: Optional[str] = None       # key bindings of the first action

    @staticmethod
    def from_json(data: dict) -> "Node":
        return Node(role=data["role"], name=data["name"],
                    states=frozenset(data.get("states", [])),
                    children=[Node.from_json(c) for c in data.get("children", [])],
                    description=data.get("description", ""),
                    extents=tuple(data["extents"]) if "extents" in data else None,
                    text=data.get("text"), value=data.get("value"),
                    keys=data.get("keys"))

    def has(self, *states: str) -> bool:
        """Whether every one of the states is set ("checked", "sensitive", ...)."""
        return all(s in self.states for s in states)

    def walk(self) -> Iterator["Node"]:
        """This node and all below it, depth first, in child order."""
        yield self
        for child in self.children:
            yield from child.walk()

    def find_all(self, role: Optional[str] = None, name: NameMatch = None,
                 where: Callable[["Node"], bool] = None) -> list:
        """Every node below (and including) this one with the role and name.

        name: an exact text, a compiled regular expression (full match) or a
        function of the name; where: a further condition on the node.
        """
        return [n for n in self.walk()
                if (role is None or n.role == role) and _name_matches(n.name, name)
                and (where is None or where(n))]

    def find(self, role: Optional[str] = None, name: NameMatch = None,
             where: Callable[["Node"], bool] = None) -> Optional["Node"]:
        """The first node of find_all, or None."""
        found = self.find_all(role, name, where)
        return found[0] if found else None

    def child_names(self, role: Optional[str] = None) -> list:
        """Names of the direct children (of one role)."""
        return [c.name for c in self.children if role is None or c.role == role]

    def outline(self, depth: int = 12, indent: int = 0) -> str:
        """An indented text of the tree, for failure messages."""
        line = "  " * indent + f"[{self.role}] {self.name!r}"
        shown = sorted(self.states & {"checked", "sensitive", "showing", "selected",
                                      "focused", "active"})
        if shown:
            line += " {" + ", ".join(shown) + "}"
        lines = [line]
        if depth > 0:
            lines += [c.outline(depth - 1, indent + 1) for c in self.children]
        return "\n".join(lines)

    def __str__(self) -> str:
        return f"[{self.role}] {self.name!r}"


# --------------------------------------------------------------------------
# Reading the main window


@dataclass
class Row:
    """One row of the swoop list as the accessibility tree shows it."""
    node: Node
    label: str             # the base name shown in the row
    tick: Optional[Node]   # the "Compare <name>" check box
    close: Optional[Node]  # the "Close <name>" push button

    @property
    def selected(self) -> bool:
        return self.node.has("selected")

    @property
    def ticked(self) -> bool:
        return self.tick is not None and self.tick.has("checked")


def swoop_rows(tree: Node) -> list:
    """The rows of the main window's swoop list, in list order."""
    frame = tree.find("frame", WINDOW_TITLE)
    panel = frame and frame.find("panel", "swoop")
    if panel is None:
        return []
    rows = []
    for item in panel.find_all("list item"):
        label = item.find("label")
        rows.append(Row(item, label.name if label else "", item.find("check box"),
                        item.find("push button")))
    return rows


def report_text(tree: Node) -> Optional[str]:
    """The text of the results view (the "metrics" page), None when absent."""
    tab = tree.find("page tab", "metrics")
    view = tab and tab.find("text")
    return view.text if view is not None else None


def tab_names(tree: Node) -> list:
    """Names of the notebook's pages, in order."""
    tabs = tree.find("page tab list")
    return tabs.child_names("page tab") if tabs else []


def current_tab(tree: Node) -> Optional[str]:
    """Name of the selected notebook page."""
    tabs = tree.find("page tab list")
    selected = [c.name for c in tabs.children if c.has("selected")] if tabs else []
    return selected[0] if len(selected) == 1 else None


def gate_label(tree: Node) -> Optional[str]:
    """The text of the label in the "gate" frame."""
    gate = tree.find("panel", "gate")
    filler = gate and gate.find("filler")
    label = filler and filler.find("label")
    return label.name if label else None


def text_diff(expected: str, actual: str, what: str = "text") -> str:
    """A unified diff of two texts, for failure messages."""
    return "".join(difflib.unified_diff(expected.splitlines(True), (actual or "").splitlines(True),
                                        f"expected {what}", f"shown {what}"))


# --------------------------------------------------------------------------
# Pixels of the screen


@dataclass
class Pixels:
    """An RGB image of a part of the screen (Session.pixels)."""
    width: int
    height: int
    data: bytes  # 3 bytes a pixel, row by row

    def count(self, test: Callable[[int, int, int], bool]) -> int:
        """How many pixels (r, g, b) pass the test."""
        d = self.data
        return sum(1 for i in range(0, len(d) - 2, 3) if test(d[i], d[i + 1], d[i + 2]))

    def greys(self, low: int = 0x60, high: int = 0xe0) -> int:
        """Pixels of a neutral grey with low <= value <= high (r == g == b)."""
        return self.count(lambda r, g, b: r == g == b and low <= r <= high)


def _read_ppm(raw: bytes) -> Pixels:
    """A binary PPM (P6, maximum 255) as Pixels."""
    fields, pos = [], 0
    while len(fields) < 4:
        while raw[pos:pos + 1].isspace():
            pos += 1
        if raw[pos:pos + 1] == b"#":
            pos = raw.index(b"\n", pos) + 1
            continue
        end = pos
        while not raw[end:end + 1].isspace():
            end += 1
        fields.append(raw[pos:end])
        pos = end
    pos += 1  # the one white space character after the maximum
    if fields[0] != b"P6" or fields[3] != b"255":
        raise RuntimeError(f"not an 8-bit binary PPM: {fields}")
    width, height = int(fields[1]), int(fields[2])
    data = raw[pos:pos + 3 * width * height]
    if len(data) != 3 * width * height:
        raise RuntimeError("short PPM image")
    return Pixels(width, height, data)
