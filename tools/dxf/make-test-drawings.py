#!/usr/bin/python3
"""Writes the DXF test drawings into tests/data/dxf (or the folder given).

    make-test-drawings.py [OUTDIR]

The drawings are made with ezdxf with its fixed metadata (dates, GUIDs), so running the script
again writes the same bytes for the same ezdxf version. tests/data/dxf/README.md says what each
file holds; the tests assert on those facts, so change both together.
"""

import math
import os
import sys

import ezdxf
from ezdxf import colors
from ezdxf.math import Vec2

# Same bytes on every run: fixed dates and GUIDs instead of now and random ones, and a fixed
# hash seed, since ezdxf writes the CLASSES section in the order of a set of names.
ezdxf.options.write_fixed_meta_data_for_testing = True
if os.environ.get("PYTHONHASHSEED") != "0":
    os.execve(sys.executable, [sys.executable] + sys.argv, dict(os.environ, PYTHONHASHSEED="0"))

A3 = (420, 297)


def setup_a3(layout):
    # Margins 0 and scale 1:1, so that a paper-space unit is a millimetre from the paper's
    # lower-left corner; page_setup writes plot type 5 (layout).
    layout.page_setup(size=A3, margins=(0, 0, 0, 0), units="mm", scale=(1, 1), name="ISO_A3")


def add_layers(doc):
    for name, colour, linetype in (
        ("OUTLINE", 7, "CONTINUOUS"),
        ("HOLES", 5, "CONTINUOUS"),
        ("CENTER", 1, "DASHED"),
        ("SECTION", 3, "CONTINUOUS"),
        ("BORDER", 7, "CONTINUOUS"),
        ("TITLE", 7, "CONTINUOUS"),
        ("VIEWPORTS", 8, "CONTINUOUS"),
    ):
        if name not in doc.layers:
            doc.layers.add(name, color=colour, linetype=linetype)
    # Viewport frames are not plotted, as drawings usually have it.
    doc.layers.get("VIEWPORTS").dxf.plot = 0


def add_part(msp):
    """A 200 x 100 base plate with rounded corners, a slot, four holes, centre lines and a
    hatched section to its right. Model units are mm; the part spans (-10, -10) to (300, 110)."""
    r = 10
    outline = {"layer": "OUTLINE", "lineweight": 50}
    msp.add_line((r, 0), (200 - r, 0), outline)
    msp.add_line((200, r), (200, 100 - r), outline)
    msp.add_line((200 - r, 100), (r, 100), outline)
    msp.add_line((0, 100 - r), (0, r), outline)
    msp.add_arc((200 - r, r), r, 270, 0, dxfattribs=outline)
    msp.add_arc((200 - r, 100 - r), r, 0, 90, dxfattribs=outline)
    msp.add_arc((r, 100 - r), r, 90, 180, dxfattribs=outline)
    msp.add_arc((r, r), r, 180, 270, dxfattribs=outline)
    # The slot: two straight sides joined by half circles (bulge 1).
    msp.add_lwpolyline(
        [(80, 40, 0, 0, 0), (120, 40, 0, 0, 1), (120, 60, 0, 0, 0), (80, 60, 0, 0, 1)],
        format="xyseb",
        close=True,
        dxfattribs=outline,
    )
    for x, y in ((25, 25), (175, 25), (175, 75), (25, 75)):
        msp.add_circle((x, y), 6, dxfattribs={"layer": "HOLES"})
        msp.add_line((x - 10, y), (x + 10, y), {"layer": "CENTER"})
        msp.add_line((x, y - 10), (x, y + 10), {"layer": "CENTER"})
    msp.add_line((-10, 50), (210, 50), {"layer": "CENTER"})
    msp.add_line((100, -10), (100, 110), {"layer": "CENTER"})
    # Section A-A: the plate's thickness with the slot cut out, hatched.
    section = [(240, 0), (260, 0), (260, 100), (240, 100)]
    msp.add_lwpolyline(section, close=True, dxfattribs=outline)
    hatch = msp.add_hatch(color=3, dxfattribs={"layer": "SECTION"})
    hatch.set_pattern_fill("ANSI31", scale=1.0)
    hatch.paths.add_polyline_path([(240, 0), (260, 0), (260, 40), (240, 40)], is_closed=True)
    hatch.paths.add_polyline_path([(240, 60), (260, 60), (260, 100), (240, 100)], is_closed=True)
    msp.add_text("A-A", dxfattribs={"height": 5, "layer": "OUTLINE"}).set_placement(
        (250, 105), align=ezdxf.enums.TextEntityAlignment.BOTTOM_CENTER
    )


def add_title_block(doc):
    """A 180 x 40 title block, base point at its lower-right corner, with the attributes
    DWG_NO, REV and TITLE."""
    block = doc.blocks.new("TITLEBLOCK", base_point=(0, 0))
    attribs = {"layer": "0"}
    block.add_lwpolyline([(-180, 0), (0, 0), (0, 40), (-180, 40)], close=True, dxfattribs=attribs)
    block.add_line((-180, 20), (0, 20), attribs)
    block.add_line((-60, 0), (-60, 20), attribs)
    block.add_line((-20, 0), (-20, 20), attribs)
    block.add_text("Quillet demo works", dxfattribs={"height": 3.5, "insert": (-176, 33)})
    for tag, x, y, height in (
        ("TITLE", -176, 24, 5),
        ("DWG_NO", -176, 6, 5),
        ("REV", -16, 6, 5),
    ):
        block.add_attdef(tag, (x, y), dxfattribs={"height": height, "prompt": tag})
    return block


def add_sheet_frame(layout, values):
    layout.add_lwpolyline(
        [(10, 10), (410, 10), (410, 287), (10, 287)], close=True, dxfattribs={"layer": "BORDER"}
    )
    insert = layout.add_blockref("TITLEBLOCK", (410, 10), dxfattribs={"layer": "TITLE"})
    insert.add_auto_attribs(values)


def make_layouts(path):
    doc = ezdxf.new("R2018", setup=True)
    add_layers(doc)
    add_part(doc.modelspace())
    add_title_block(doc)
    doc.header.custom_vars.append("PROJECT", "Quillet demo")
    doc.header.custom_vars.append("DWG_NO", "HEADER-NO")

    doc.layouts.rename("Layout1", "Sheet A")
    sheet_a = doc.layouts.get("Sheet A")
    sheet_b = doc.layouts.new("Sheet B")
    spare = doc.layouts.new("Spare")
    # Tabs 1, 2, 3 in this order (ezdxf leaves gaps).
    for tab, layout in enumerate((sheet_a, sheet_b, spare), start=1):
        layout.dxf_layout.dxf.taborder = tab
    for layout in (sheet_a, sheet_b):
        setup_a3(layout)

    # Sheet A: the whole part at 1:1, and a detail of the plate at 1:2 with the section's hatch
    # frozen in it.
    add_sheet_frame(sheet_a, {"DWG_NO": "QA-1001", "REV": "B", "TITLE": "Base plate"})
    sheet_a.add_viewport(
        center=(170, 170), size=(320, 150), view_center_point=(145, 50), view_height=150
    )
    detail = sheet_a.add_viewport(
        center=(100, 50), size=(120, 70), view_center_point=(125, 50), view_height=140
    )
    detail.frozen_layers = ["SECTION"]

    # Sheet B: a corner at 2:1 clipped by a circle, and the whole part at 1:2.
    add_sheet_frame(sheet_b, {"DWG_NO": "QA-1002", "REV": "A", "TITLE": "Bracket"})
    # The clip circle is plotted: it is the detail's outline on the sheet.
    clip = sheet_b.add_circle((120, 170), 80, dxfattribs={"layer": "BORDER"})
    corner = sheet_b.add_viewport(
        center=(120, 170), size=(160, 160), view_center_point=(25, 25), view_height=80
    )
    corner.dxf.clipping_boundary_handle = clip.dxf.handle
    corner.dxf.flags = corner.dxf.flags | 0x10000
    sheet_b.add_viewport(
        center=(320, 180), size=(170, 90), view_center_point=(145, 50), view_height=180
    )
    sheet_b.add_text("DETAIL X 2:1", dxfattribs={"height": 5, "insert": (90, 80)})

    doc.layouts.set_active_layout("Sheet B")
    # Saved on a layout tab, as a CAD program marks it: model space is not the active tab.
    doc.header["$TILEMODE"] = 0
    doc.saveas(path)


def make_logo(path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np

    # 64 x 32: a blue field with a yellow disc, rows from the top as PNG stores them.
    y, x = np.mgrid[0:32, 0:64]
    rgb = np.zeros((32, 64, 3))
    rgb[..., 2] = 0.7
    disc = (x - 20) ** 2 + (y - 16) ** 2 < 12**2
    rgb[disc] = (1.0, 0.85, 0.0)
    rgb[24:28, 36:60] = (1.0, 1.0, 1.0)
    plt.imsave(path, rgb, format="png", metadata={"Software": None})


def add_big_x(msp, x, y, layer):
    red = {"layer": layer, "color": 1, "lineweight": 100}
    msp.add_line((x, y), (x + 40, y + 40), red)
    msp.add_line((x, y + 40), (x + 40, y), red)


def make_entities(path, logo):
    doc = ezdxf.new("R2018", setup=True)
    add_layers(doc)
    doc.layers.add("OFF", color=1).off()
    doc.layers.add("FROZEN", color=1).freeze()
    doc.layers.add("NOPLOT", color=1).dxf.plot = 0
    doc.layers.add("THICK", color=6, lineweight=70)
    doc.layers.add("DIMS", color=2)
    msp = doc.modelspace()
    text = ezdxf.enums.TextEntityAlignment

    # Row 1 (y 0..60): curves.
    msp.add_line((0, 0), (50, 50), {"color": 1})
    msp.add_circle((80, 25), 20, dxfattribs={"color": 3})
    msp.add_arc((130, 25), 20, 30, 240, dxfattribs={"color": 5})
    msp.add_ellipse((190, 25), major_axis=(30, 10), ratio=0.5, dxfattribs={"color": 6})
    msp.add_ellipse(
        (260, 25), major_axis=(0, 25), ratio=0.4, start_param=0, end_param=math.pi,
        dxfattribs={"color": 4},
    )
    msp.add_lwpolyline(
        [(300, 0, 0, 0, 0.5), (340, 0, 2, 2, 0), (340, 40, 0.5, 4, -0.5), (300, 40, 0, 0, 0)],
        format="xyseb", close=True, dxfattribs={"color": 30},
    )

    # Row 2 (y 70..130): polylines, meshes, splines, points.
    msp.add_polyline2d([(0, 70), (30, 120), (50, 80)], dxfattribs={"color": 2})
    msp.add_polyline3d([(60, 70, 0), (90, 120, 10), (110, 80, 5)], dxfattribs={"color": 3})
    face = msp.add_polyface(dxfattribs={"color": 4})
    face.append_face([(120, 70), (160, 70), (160, 110)])
    face.append_face([(120, 70), (160, 110), (120, 110)])
    msp.add_open_spline([(170, 70), (190, 130), (210, 70), (230, 130)], degree=3,
                        dxfattribs={"color": 5})
    msp.add_spline([(240, 70), (260, 120), (280, 80), (300, 125)], dxfattribs={"color": 6})
    for x in range(310, 350, 10):
        msp.add_point((x, 100), dxfattribs={"color": 1})

    # Row 3 (y 140..200): faces and hatches.
    msp.add_solid([(0, 140), (40, 140), (0, 180), (40, 180)], dxfattribs={"color": 1})
    msp.add_trace([(50, 140), (90, 150), (50, 150), (90, 160)], dxfattribs={"color": 3})
    msp.add_3dface([(100, 140), (140, 140), (140, 180), (100, 180)], dxfattribs={"color": 5})
    solid = msp.add_hatch(color=2)
    solid.paths.add_polyline_path([(150, 140), (190, 140), (190, 180), (150, 180)])
    pattern = msp.add_hatch(color=4)
    pattern.set_pattern_fill("ANSI31", scale=2)
    pattern.paths.add_polyline_path([(200, 140), (240, 140), (240, 180), (200, 180)])
    arc_hatch = msp.add_hatch(color=6)
    edges = arc_hatch.paths.add_edge_path()
    edges.add_line((250, 140), (290, 140))
    edges.add_arc((270, 140), 20, 0, 180)
    msp.add_wipeout([(255, 145), (285, 145), (285, 155), (255, 155)])
    image_def = doc.add_image_def(filename=os.path.basename(logo), size_in_pixel=(64, 32))
    msp.add_image(image_def, insert=(300, 140), size_in_units=(64, 32))

    # Row 4 (y 210..280): texts.
    msp.add_text("LEFT", dxfattribs={"height": 5, "insert": (0, 210)})
    msp.add_text("CENTRE", dxfattribs={"height": 5}).set_placement(
        (80, 210), align=text.BOTTOM_CENTER)
    msp.add_text("RIGHT", dxfattribs={"height": 5}).set_placement((160, 210), align=text.RIGHT)
    msp.add_text("MIDDLE", dxfattribs={"height": 5}).set_placement(
        (200, 212.5), align=text.MIDDLE_CENTER)
    msp.add_text("FIT", dxfattribs={"height": 5}).set_placement(
        (230, 210), (270, 210), align=text.FIT)
    msp.add_text("ROTATED 30", dxfattribs={"height": 4, "insert": (280, 210), "rotation": 30})
    msp.add_text("WIDE", dxfattribs={"height": 5, "insert": (0, 225), "width": 2})
    msp.add_text("OBLIQUE", dxfattribs={"height": 5, "insert": (60, 225), "oblique": 20})
    mtext = msp.add_mtext(
        "First paragraph of wrapped text that runs on.\\P{\\H2x;Big} and \\C1;red\\Pthird",
        dxfattribs={"char_height": 3, "width": 60, "attachment_point": 5,
                    "insert": (180, 245)},
    )
    mtext.dxf.color = 7

    # Row 5 (y 290..360): blocks.
    inner = doc.blocks.new("INNER")
    inner.add_circle((0, 0), 5)
    inner.add_line((-5, -5), (5, 5))
    outer = doc.blocks.new("OUTER")
    outer.add_lwpolyline([(-10, -10), (10, -10), (10, 10), (-10, 10)], close=True)
    outer.add_blockref("INNER", (0, 0), dxfattribs={"xscale": 1.5, "yscale": 1.5})
    byblock = doc.blocks.new("BYBLOCK_FLAG")
    byblock.add_lwpolyline([(0, 0), (20, 0), (10, 15)], close=True,
                           dxfattribs={"color": colors.BYBLOCK})
    msp.add_blockref("OUTER", (20, 310))
    msp.add_blockref("OUTER", (60, 310), dxfattribs={"xscale": 2, "yscale": 1, "rotation": 30})
    msp.add_blockref("OUTER", (110, 310), dxfattribs={"xscale": -1})
    minsert = msp.add_blockref("INNER", (140, 300))
    minsert.grid(size=(3, 4), spacing=(12, 12))
    msp.add_blockref("BYBLOCK_FLAG", (210, 300), dxfattribs={"color": 1})
    msp.add_blockref("BYBLOCK_FLAG", (240, 300), dxfattribs={"color": 5})

    # Row 6 (y 370..440): dimensions, leader, infinite lines, colours, lineweights, linetypes.
    msp.add_line((0, 380), (80, 380), {"color": 7})
    dim = msp.add_linear_dim(base=(0, 400), p1=(0, 380), p2=(80, 380),
                             dimstyle="EZDXF", dxfattribs={"layer": "DIMS"})
    dim.render()
    msp.add_circle((130, 400), 20)
    radius = msp.add_radius_dim(center=(130, 400), radius=20, angle=45, dimstyle="EZ_RADIUS",
                                dxfattribs={"layer": "DIMS"})
    radius.render()
    msp.add_leader([(170, 420), (190, 400), (200, 400)], dxfattribs={"layer": "DIMS"})
    msp.add_text("LEADER", dxfattribs={"height": 3, "insert": (202, 399)})
    msp.add_xline((0, 450), (1, 0.05), dxfattribs={"color": 8})
    msp.add_ray((300, 450), (0.3, 1), dxfattribs={"color": 8})
    msp.add_line((220, 380), (300, 380), {"true_color": colors.rgb2int((255, 128, 0))})
    msp.add_line((220, 390), (300, 390), {"layer": "THICK"})
    msp.add_line((220, 400), (300, 400), {"lineweight": 35, "color": 7})
    msp.add_line((220, 410), (300, 410), {"linetype": "DASHED", "color": 7})
    msp.add_line((220, 420), (300, 420), {"linetype": "CENTER", "color": 7})

    # What must not show: layers off, frozen and not plotted.
    add_big_x(msp, 320, 290, "OFF")
    add_big_x(msp, 320, 340, "FROZEN")
    add_big_x(msp, 320, 390, "NOPLOT")

    layout = doc.layouts.get("Layout1")
    setup_a3(layout)
    layout.add_lwpolyline([(5, 5), (415, 5), (415, 292), (5, 292)], close=True,
                          dxfattribs={"layer": "BORDER"})
    layout.add_text("ENTITIES: every entity type", dxfattribs={"height": 5, "insert": (10, 10)})
    # Model (-10, -10) to (370, 460) at 1:1.6 in a 250 x 280 window; the infinite lines run
    # out of it.
    layout.add_viewport(center=(210, 150), size=(250, 280), view_center_point=(180, 225),
                        view_height=470)
    doc.saveas(path)


def make_model_only(path):
    doc = ezdxf.new("R2000", setup=True)
    add_layers(doc)
    add_part(doc.modelspace())
    doc.saveas(path)


def make_r12(path):
    doc = ezdxf.new("R12", setup=True)
    msp = doc.modelspace()
    # R12 has no LWPOLYLINE: the plate is an old-style polyline.
    msp.add_polyline2d([(0, 0), (200, 0), (200, 100), (0, 100)], close=True)
    msp.add_circle((50, 50), 20)
    msp.add_arc((150, 50), 20, 0, 180)
    msp.add_text("R12 PLATE", dxfattribs={"height": 5, "insert": (60, 85)})
    paper = doc.layout()
    paper.add_line((0, 0), (420, 0))
    paper.add_line((420, 0), (420, 297))
    paper.add_line((420, 297), (0, 297))
    paper.add_line((0, 297), (0, 0))
    paper.add_text("R12 PAPER NOTE", dxfattribs={"height": 5, "insert": (20, 20)})
    paper.add_viewport(center=(210, 150), size=(300, 200), view_center_point=(100, 50),
                       view_height=150)
    doc.header["$PLIMMIN"] = (0, 0)
    doc.header["$PLIMMAX"] = A3
    doc.saveas(path)


def make_binary(path):
    doc = ezdxf.new("R2018", setup=True)
    add_layers(doc)
    add_part(doc.modelspace())
    add_title_block(doc)
    doc.layouts.rename("Layout1", "Binary")
    layout = doc.layouts.get("Binary")
    setup_a3(layout)
    add_sheet_frame(layout, {"DWG_NO": "BIN-1", "REV": "C", "TITLE": "Binary plate"})
    layout.add_viewport(center=(210, 170), size=(380, 160), view_center_point=(145, 50),
                        view_height=150)
    doc.saveas(path, fmt="bin")


def make_cp1251(path):
    doc = ezdxf.new("R2000", setup=True)
    add_layers(doc)
    msp = doc.modelspace()
    add_part(msp)
    msp.add_text("Плита опорная", dxfattribs={"height": 7, "insert": (0, 120)})
    # A character outside the code page, written as a \U+ escape.
    msp.add_text("Диаметр \\U+2300 12", dxfattribs={"height": 5, "insert": (0, 135)})
    add_title_block(doc)
    doc.layouts.rename("Layout1", "Лист 1")
    layout = doc.layouts.get("Лист 1")
    setup_a3(layout)
    add_sheet_frame(layout, {"DWG_NO": "КД-001", "REV": "А", "TITLE": "Корпус"})
    layout.add_viewport(center=(210, 180), size=(380, 170), view_center_point=(145, 65),
                        view_height=160)
    doc.encoding = "cp1251"
    doc.saveas(path)


def make_upper(path):
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    msp.add_line((0, 0), (100, 0))
    msp.add_line((100, 0), (50, 80))
    msp.add_line((50, 80), (0, 0))
    doc.saveas(path)


def main():
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        print(__doc__.strip())
        sys.exit(0 if sys.argv[1] in ("-h", "--help") else 64)
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "data", "dxf")
    os.makedirs(out, exist_ok=True)
    logo = os.path.join(out, "logo.png")
    make_logo(logo)
    make_layouts(os.path.join(out, "LAYOUTS.dxf"))
    make_entities(os.path.join(out, "ENTITIES.dxf"), logo)
    make_model_only(os.path.join(out, "MODELONLY.dxf"))
    make_r12(os.path.join(out, "R12.dxf"))
    make_binary(os.path.join(out, "BINARY.dxf"))
    make_cp1251(os.path.join(out, "CP1251.dxf"))
    make_upper(os.path.join(out, "UPPER.DXF"))


if __name__ == "__main__":
    main()
