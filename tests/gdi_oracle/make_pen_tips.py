#!/usr/bin/env python3
"""Prints the pen tip table of render/pen_tip.cpp from GDI's recorded answers.

    tests/gdi_oracle/make_pen_tips.py tests/data/gdi_strokes.txt

A zero-length stroke of a pen wider than one pixel is the pen's tip alone;
for each width the first such stroke lying wholly on its canvas gives the
reach of the tip's rows, from the middle row outward.
"""
import sys


def tips(path):
    found = {}
    for line in open(path):
        if ':' not in line:
            continue
        head, runs = line.split(':', 1)
        w, h, x0, y0, x1, y1, pen = map(int, head.split())
        if pen < 2 or pen in found or (x0, y0) != (x1, y1):
            continue
        if not (pen <= x0 < w - pen and pen <= y0 < h - pen):
            continue
        rows = {}
        for item in runs.split():
            y, span = item.split(':')
            a, b = map(int, span.split('-'))
            rows[int(y) - y0] = (a - x0, b - x0)
        found[pen] = [rows[i][1] for i in range((pen + 1) // 2)]
    return found


def main():
    found = tips(sys.argv[1])
    missing = [w for w in range(2, 51) if w not in found]
    if missing:
        sys.exit('no whole zero-length stroke for widths %s' % missing)
    for w in range(2, 51):
        print('    /* %2d */ %s,' % (w, ', '.join(str(v) for v in found[w])))


if __name__ == '__main__':
    main()
