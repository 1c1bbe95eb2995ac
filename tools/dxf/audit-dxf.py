#!/usr/bin/python3
"""Checks DXF files the way an independent reader sees them.

Opens each FILE with ezdxf and runs its auditor; prints every error found and exits 1 when a
file has errors or cannot be read, else 0. With --extents, also prints each file's model space
bounding box as "xmin ymin xmax ymax".
"""

import argparse
import sys

import ezdxf
from ezdxf import bbox


def audit(path, extents):
    """Returns True when the file reads and the auditor finds no errors."""
    try:
        doc = ezdxf.readfile(path)
    except (IOError, ezdxf.DXFError) as error:
        print(f"{path}: cannot be read: {error}")
        return False
    auditor = doc.audit()
    for error in auditor.errors:
        print(f"{path}: error {error.code}: {error.message}")
    if extents:
        box = bbox.extents(doc.modelspace())
        if box.has_data:
            print(f"{box.extmin.x:g} {box.extmin.y:g} {box.extmax.x:g} {box.extmax.y:g}")
        else:
            print(f"{path}: empty")
    return not auditor.has_errors


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="+", metavar="FILE")
    parser.add_argument("--extents", action="store_true",
                        help="print each file's model space bounding box")
    args = parser.parse_args()
    results = [audit(path, args.extents) for path in args.files]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
