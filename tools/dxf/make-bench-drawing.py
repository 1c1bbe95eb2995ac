#!/usr/bin/python3
"""Writes a large, realistic DXF drawing for the DXF benchmarks.

    make-bench-drawing.py OUT.dxf [--megabytes 30]

An R2018 ASCII drawing of about the size asked: model space is a grid of cells, each a small
part drawing (outline, lines, arcs, circles, LWPOLYLINEs, texts, a hatch, block inserts with
attributes, a dimension), and three layouts with title blocks and viewports: "Overview" shows
most of the model, "Detail 1" and "Detail 2" a few cells at larger scales. The file is made in
the benchmark's build folder, never committed; fixed metadata makes it the same for the same
arguments.
"""

import argparse
import math
import os
import sys

import ezdxf
from ezdxf.math import Matrix44

# Same bytes for the same arguments: fixed dates and GUIDs, and a fixed hash seed, since ezdxf
# writes the CLASSES section in the order of a set of names.
ezdxf.options.write_fixed_meta_data_for_testing = True
if os.environ.get("PYTHONHASHSEED") != "0":
    os.execve(sys.executable, [sys.executable] + sys.argv, dict(os.environ, PYTHONHASHSEED="0"))

CELL = 120.0
# Bytes a cell adds to the file, measured; the cell count follows from the size asked.
BYTES_PER_CELL = 7250


def add_blocks(doc):
    bolt = doc.blocks.new("BOLT")
    bolt.add_circle((0, 0), 4)
    bolt.add_lwpolyline([(4 * math.cos(a * math.pi / 3), 4 * math.sin(a * math.pi / 3))
                         for a in range(6)], close=True)
    bolt.add_attdef("SIZE", (5, 1), dxfattribs={"height": 2})
    bolt.add_attdef("POS", (5, -3), dxfattribs={"height": 2})
    title = doc.blocks.new("TITLEBLOCK")
    title.add_lwpolyline([(-180, 0), (0, 0), (0, 40), (-180, 40)], close=True)
    title.add_line((-180, 20), (0, 20))
    title.add_line((-40, 0), (-40, 20))
    for tag, x, y in (("TITLE", -176, 24), ("DWG_NO", -176, 6), ("REV", -36, 6)):
        title.add_attdef(tag, (x, y), dxfattribs={"height": 5})


def add_cell(msp, x0, y0, index):
    """One part drawing in the cell whose lower-left corner is (x0, y0)."""
    outline = {"layer": "OUTLINE"}
    w, h, r = 90.0, 60.0, 6.0
    x, y = x0 + 10, y0 + 20
    msp.add_lwpolyline(
        [(x + r, y, 0), (x + w - r, y, 0.41421356), (x + w, y + r, 0),
         (x + w, y + h - r, 0.41421356), (x + w - r, y + h, 0), (x + r, y + h, 0.41421356),
         (x, y + h - r, 0), (x, y + r, 0.41421356)],
        format="xyb", close=True, dxfattribs=outline)
    for i in range(8):
        msp.add_line((x + 10 + i * 10, y + 5), (x + 10 + i * 10, y + 15), outline)
    for i in range(4):
        cx, cy = x + 15 + i * 20, y + 40
        msp.add_circle((cx, cy), 3 + i, dxfattribs={"layer": "HOLES"})
        msp.add_line((cx - 8, cy), (cx + 8, cy), {"layer": "CENTER"})
        msp.add_line((cx, cy - 8), (cx, cy + 8), {"layer": "CENTER"})
        msp.add_arc((cx, cy), 6 + i, 200, 340, dxfattribs={"layer": "OUTLINE"})
    msp.add_lwpolyline([(x + 5, y + 50), (x + 30, y + 55), (x + 55, y + 50), (x + 85, y + 55)],
                       dxfattribs={"layer": "OUTLINE", "const_width": 0.5})
    hatch = msp.add_hatch(color=3, dxfattribs={"layer": "SECTION"})
    hatch.set_pattern_fill("ANSI31", scale=0.5)
    hatch.paths.add_polyline_path([(x + 60, y + 2), (x + 85, y + 2), (x + 85, y + 18),
                                   (x + 60, y + 18)])
    msp.add_text(f"PART {index}", dxfattribs={"height": 4, "insert": (x, y0 + 5),
                                              "layer": "TEXT"})
    msp.add_text(f"MAT S235 / {index % 97}", dxfattribs={"height": 2.5,
                                                         "insert": (x + 45, y0 + 5),
                                                         "layer": "TEXT"})
    for i, (bx, by) in enumerate(((x + 5, y + 65), (x + 50, y + 65))):
        bolt = msp.add_blockref("BOLT", (x0 + bx - x + 10, by + 3),
                                dxfattribs={"layer": "PARTS"})
        bolt.add_auto_attribs({"SIZE": f"M{6 + 2 * i}", "POS": str(index * 2 + i)})


def add_dimensions(msp, x0, y0, dimstyle):
    dim = msp.add_linear_dim(base=(x0 + 10, y0 + 15), p1=(x0 + 10, y0 + 20),
                             p2=(x0 + 100, y0 + 20), dimstyle=dimstyle,
                             dxfattribs={"layer": "DIMS"})
    dim.render()


def add_sheet(doc, name, values, viewports):
    layout = doc.layouts.new(name)
    layout.page_setup(size=(841, 594) if name == "Overview" else (420, 297),
                      margins=(0, 0, 0, 0), units="mm", scale=(1, 1), name="ISO")
    w, h = (841, 594) if name == "Overview" else (420, 297)
    layout.add_lwpolyline([(10, 10), (w - 10, 10), (w - 10, h - 10), (10, h - 10)], close=True,
                          dxfattribs={"layer": "BORDER"})
    layout.add_blockref("TITLEBLOCK", (w - 10, 10)).add_auto_attribs(values)
    for centre, size, view_centre, view_height in viewports:
        layout.add_viewport(centre, size, view_centre, view_height)
    return layout


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out", metavar="OUT.dxf")
    parser.add_argument("--megabytes", type=float, default=30)
    args = parser.parse_args()

    doc = ezdxf.new("R2018", setup=True)
    for name, colour, linetype in (("OUTLINE", 7, "CONTINUOUS"), ("HOLES", 5, "CONTINUOUS"),
                                   ("CENTER", 1, "CENTER"), ("SECTION", 3, "CONTINUOUS"),
                                   ("TEXT", 2, "CONTINUOUS"), ("PARTS", 4, "CONTINUOUS"),
                                   ("DIMS", 6, "CONTINUOUS"), ("BORDER", 7, "CONTINUOUS")):
        doc.layers.add(name, color=colour, linetype=linetype)
    add_blocks(doc)
    msp = doc.modelspace()

    cells = max(4, round(args.megabytes * 1e6 / BYTES_PER_CELL))
    columns = math.ceil(math.sqrt(cells * 1.414))
    rows = math.ceil(cells / columns)
    # The first cell is built once and copied: copies are much faster than building entities.
    add_cell(msp, 0, 0, 0)
    add_dimensions(msp, 0, 0, "EZDXF")
    template = list(msp)
    for index in range(1, cells):
        row, column = divmod(index, columns)
        move = Matrix44.translate(column * CELL, row * CELL, 0)
        for entity in template:
            copy = entity.copy()
            copy.transform(move)
            msp.add_entity(copy)
            if copy.dxftype() == "TEXT" and copy.dxf.text == "PART 0":
                copy.dxf.text = f"PART {index}"
            elif copy.dxftype() == "INSERT":
                for attrib in copy.attribs:
                    if attrib.dxf.tag == "POS":
                        attrib.dxf.text = f"{index}.{attrib.dxf.text}"

    width, height = columns * CELL, rows * CELL
    add_sheet(doc, "Overview", {"TITLE": "Overview", "DWG_NO": "BENCH-1", "REV": "A"},
              [((420, 310), (800, 540), (width * 0.45, height * 0.5), height * 0.95)])
    add_sheet(doc, "Detail 1", {"TITLE": "Detail 1", "DWG_NO": "BENCH-2", "REV": "A"},
              [((150, 170), (260, 220), (CELL, CELL), 2 * CELL),
               ((330, 200), (140, 150), (width / 2, height / 2), CELL)])
    add_sheet(doc, "Detail 2", {"TITLE": "Detail 2", "DWG_NO": "BENCH-3", "REV": "B"},
              [((210, 170), (380, 240), (width - CELL, height - CELL), 3 * CELL)])
    doc.layouts.delete("Layout1")
    for tab, name in enumerate(("Overview", "Detail 1", "Detail 2"), start=1):
        doc.layouts.get(name).dxf_layout.dxf.taborder = tab
    doc.layouts.set_active_layout("Overview")
    doc.saveas(args.out)
    print(f"{args.out}: {cells} cells, {os.path.getsize(args.out) / 1e6:.1f} MB",
          file=sys.stderr)


if __name__ == "__main__":
    main()
