#!/usr/bin/env python3
"""Rejects includes that slip past the layers' include trees.

A layer sees only "folder/name.h" headers of its own layer and the layers below it, so a wrong
include written that way fails to build. A bare "name.h" is found beside the including file
whatever layer it belongs to, so it would let a pipeline file include a dialog. Hence: a bare
include is only for a header of the same folder and the same layer; everything else is written
"folder/name.h".

The layers come from the quillet_layer_files calls of each src/*/CMakeLists.txt. A file listed in
none (the plugin) belongs to no layer. Run from anywhere; exits 1 and names file and line for each
bad include.
"""

import re
import sys
from pathlib import Path

LAYERS = ["quillet_platform", "quillet_contract", "quillet_pipeline", "quillet_dialogs",
          "quillet_addin"]

CALL = re.compile(r"\bquillet_layer_files\s*\(([^)]*)\)", re.S)
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


def layer_files(cmake_file):
    """Yields (layer, file name) for each file a folder's quillet_layer_files calls list."""
    text = "\n".join(line.split("#", 1)[0] for line in cmake_file.read_text().splitlines())
    for call in CALL.finditer(text):
        layer, *files = call.group(1).split()
        if layer not in LAYERS:
            raise SystemExit(f"{cmake_file}: unknown layer {layer}")
        for name in files:
            yield layer, name


def rank(layer):
    """A file of no layer (the plugin) sits on top of them all."""
    return LAYERS.index(layer) if layer else len(LAYERS)


def main():
    root = Path(__file__).resolve().parent.parent
    src = root / "src"
    # folder -> file name -> layer, and header name -> folders that hold it.
    layers = {}
    header_folders = {}
    for cmake_file in sorted(src.glob("*/CMakeLists.txt")):
        folder = cmake_file.parent.name
        for layer, name in layer_files(cmake_file):
            layers.setdefault(folder, {})[name] = layer
    for header in src.glob("*/*.h"):
        header_folders.setdefault(header.name, []).append(header.parent.name)

    problems = []
    for source in sorted(src.glob("*/*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        folder = source.parent.name
        own_layer = layers.get(folder, {}).get(source.name)
        for number, line in enumerate(source.read_text().splitlines(), start=1):
            match = INCLUDE.match(line)
            if not match or "/" in match.group(1):
                continue
            name = match.group(1)
            where = f"src/{folder}/{source.name}:{number}"
            if name in layers.get(folder, {}) or (src / folder / name).exists():
                header_layer = layers.get(folder, {}).get(name)
                if header_layer == own_layer:
                    continue
                belongs = (f'{where}: "{name}" belongs to {header_layer or "no layer"}, this file '
                           f'to {own_layer or "no layer"}')
                if rank(header_layer) > rank(own_layer):
                    problems.append(f"{belongs}, a layer below it, which cannot include it")
                else:
                    problems.append(f'{belongs}; include it as "{folder}/{name}"')
            elif name in header_folders:
                folders = " or ".join(f'"{other}/{name}"' for other in sorted(header_folders[name]))
                problems.append(f'{where}: "{name}" is a header of another folder; include it as '
                                f'{folders}')

    for problem in problems:
        print(f"check_includes: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
