#!/usr/bin/python3
"""Times ezdxf reading a DXF drawing and drawing one of its layouts, for the DXF benchmark.

    ezdxf-time.py DRAWING.dxf LAYOUT DPI

Prints "read SECONDS" and "draw SECONDS": ezdxf.readfile, then its drawing add-on's front end
with the matplotlib back end drawing the layout and saving it as a PNG at DPI (what the host
does to save the layout as an image). The same work the benchmark times for the host.
"""

import logging
import os
import sys
import tempfile
import time

os.environ.setdefault("MPLBACKEND", "Agg")

import ezdxf  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
from ezdxf.addons.drawing import Frontend, RenderContext  # noqa: E402
from ezdxf.addons.drawing.matplotlib import MatplotlibBackend  # noqa: E402

# Styles name SHX fonts that matplotlib cannot find; its fallback is expected, not news.
logging.getLogger("matplotlib.font_manager").setLevel(logging.ERROR)


def main():
    if len(sys.argv) != 4 or sys.argv[1].startswith("-"):
        print(__doc__.strip())
        sys.exit(0 if sys.argv[1:2] in (["-h"], ["--help"]) else 64)
    drawing, layout_name, dpi = sys.argv[1], sys.argv[2], float(sys.argv[3])
    start = time.perf_counter()
    doc = ezdxf.readfile(drawing)
    read = time.perf_counter() - start

    start = time.perf_counter()
    layout = doc.layouts.get(layout_name)
    fig = plt.figure(dpi=dpi)
    ax = fig.add_axes([0, 0, 1, 1])
    Frontend(RenderContext(doc), MatplotlibBackend(ax)).draw_layout(layout, finalize=True)
    with tempfile.TemporaryDirectory() as out:
        fig.savefig(os.path.join(out, "layout.png"), dpi=dpi)
    plt.close(fig)
    draw = time.perf_counter() - start
    print(f"read {read:.3f}")
    print(f"draw {draw:.3f}")


if __name__ == "__main__":
    main()
