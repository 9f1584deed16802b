#!/usr/bin/python3
"""Reads the login matrix through AT-SPI, as a screen reader does.

Waits for the Quorvatel application on the accessibility bus, finds the table named
"Login matrix", and prints its size, its column headings and the cells of its first row with
their descriptions. Exits 0 when the expected session is found in the first row, 1 otherwise.

usage: read_matrix.py EXPECTED_USER [TIMEOUT_SECONDS]
"""
import sys
import time

import pyatspi


def find(node, predicate, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if predicate(node):
            return node
        for i in range(node.childCount):
            # A table's cells are its children: never walk into them looking for the table.
            if node.getRole() == pyatspi.ROLE_TABLE:
                break
            found = find(node.getChildAtIndex(i), predicate, depth + 1)
            if found is not None:
                return found
    except Exception:  # a window closing meanwhile
        return None
    return None


def main():
    expected = sys.argv[1]
    timeout = float(sys.argv[2]) if len(sys.argv) > 2 else 30
    deadline = time.time() + timeout
    table = None
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        app = find(desktop, lambda n: n.getRole() == pyatspi.ROLE_APPLICATION
                   and n.name.lower().startswith("quorvatel"))
        if app is not None:
            table = find(app, lambda n: n.getRole() == pyatspi.ROLE_TABLE
                         and n.name == "Login matrix")
            if table is not None and table.queryTable().nRows > 0:
                break
        time.sleep(0.5)
    if table is None:
        print("no table named 'Login matrix' found")
        return 1
    t = table.queryTable()
    print("rows %d columns %d" % (t.nRows, t.nColumns))
    print("headings: " + " | ".join(t.getColumnDescription(c) for c in range(t.nColumns)))
    row = []
    for c in range(t.nColumns):
        cell = t.getAccessibleAt(0, c)
        row.append("%s [%s]" % (cell.name, cell.description) if cell.description else cell.name)
    print("row 1: " + " | ".join(row))
    return 0 if expected in [t.getAccessibleAt(0, c).name for c in range(t.nColumns)] else 1


if __name__ == "__main__":
    sys.exit(main())
