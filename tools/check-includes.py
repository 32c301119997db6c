#!/usr/bin/env python3
"""Lists every include of ours that points upwards: a folder may use only the folders below it.

The order is the one the root CMakeLists.txt builds them in. Exits 1 when any include points up,
so CI keeps the tree readable top-down by folder name.
"""
import os
import re
import sys

ORDER = ["os", "core", "lang", "skin", "audio", "telephony", "document", "screens", "app", "tools"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer(path):
    top = path.split("/", 1)[0]
    return ORDER.index(top) if top in ORDER else None


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    upward = []
    for top in ORDER:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in files:
                if not name.endswith((".cpp", ".h")):
                    continue
                source = os.path.relpath(os.path.join(folder, name), root)
                own = layer(source)
                with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = layer(match.group(1))
                        if target is not None and target > own:
                            upward.append(f"{source}:{number}: {match.group(1)}")
    for line in upward:
        print(line)
    print(f"{len(upward)} upward include(s)", file=sys.stderr)
    return 1 if upward else 0


if __name__ == "__main__":
    sys.exit(main())
