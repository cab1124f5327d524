// The round tip of a wide solid pen as GDI draws it: the pixels of a pen of
// width w put down on one point, which is also each end of a wide stroke.
//
// The tip is w rows tall and symmetric about its middle both ways: an odd
// width is centred on the point's pixel (rows and columns -k..k, w = 2k+1),
// an even width on the corner above and left of it (rows and columns -k..k-1,
// w = 2k). Its row `dy` (relative to the point) covers columns -reach-1..reach
// for even widths and -reach..reach for odd ones.
#pragma once

#include <cstdint>

namespace gyrotrail {

// The widths whose tips were measured against GDI; wider pens use the
// closest round shape (pixel centres within w/2 of the tip's centre).
inline constexpr int32_t kMeasuredTipWidth = 50;

struct TipRows {
    int32_t top, bottom;  // rows relative to the point, inclusive
};

inline TipRows tipRows(int32_t width) { return TipRows{-(width / 2), (width + 1) / 2 - 1}; }

namespace tip_table {
// Measured with the GDI oracle (tests/gdi_oracle, the zero-length strokes of
// tests/data/gdi_strokes.txt; tests/gdi_oracle/make_pen_tips.py prints this
// table from them): for each width, the reach of the rows from the middle
// row outward, ceil(w/2) rows.
inline constexpr int8_t kReach[] = {
    /*  2 */ 0,
    /*  3 */ 1, 0,
    /*  4 */ 1, 0,
    /*  5 */ 2, 2, 1,
    /*  6 */ 2, 1, 0,
    /*  7 */ 3, 3, 2, 1,
    /*  8 */ 3, 3, 2, 1,
    /*  9 */ 4, 4, 3, 3, 1,
    /* 10 */ 4, 4, 3, 2, 1,
    /* 11 */ 5, 5, 5, 4, 3, 2,
    /* 12 */ 5, 5, 4, 4, 3, 1,
    /* 13 */ 6, 6, 6, 5, 4, 3, 2,
    /* 14 */ 6, 6, 5, 5, 4, 3, 1,
    /* 15 */ 7, 7, 7, 6, 6, 5, 4, 2,
    /* 16 */ 7, 7, 7, 6, 5, 5, 3, 2,
    /* 17 */ 8, 8, 8, 7, 7, 6, 5, 4, 2,
    /* 18 */ 8, 8, 8, 7, 7, 6, 5, 4, 2,
    /* 19 */ 9, 9, 9, 8, 8, 7, 7, 6, 4, 2,
    /* 20 */ 9, 9, 9, 8, 8, 7, 6, 5, 4, 2,
    /* 21 */ 10, 10, 10, 10, 9, 9, 8, 7, 6, 5, 3,
    /* 22 */ 10, 10, 10, 9, 9, 8, 8, 7, 6, 4, 2,
    /* 23 */ 11, 11, 11, 11, 10, 10, 9, 8, 8, 6, 5, 3,
    /* 24 */ 11, 11, 11, 10, 10, 10, 9, 8, 7, 6, 5, 2,
    /* 25 */ 12, 12, 12, 12, 11, 11, 10, 10, 9, 8, 7, 5, 3,
    /* 26 */ 12, 12, 12, 11, 11, 11, 10, 9, 9, 8, 6, 5, 2,
    /* 27 */ 13, 13, 13, 13, 12, 12, 12, 11, 10, 9, 8, 7, 6, 3,
    /* 28 */ 13, 13, 13, 13, 12, 12, 11, 11, 10, 9, 8, 7, 5, 3,
    /* 29 */ 14, 14, 14, 14, 13, 13, 13, 12, 11, 11, 10, 9, 7, 6, 3,
    /* 30 */ 14, 14, 14, 14, 13, 13, 12, 12, 11, 10, 9, 8, 7, 5, 3,
    /* 31 */ 15, 15, 15, 15, 14, 14, 14, 13, 13, 12, 11, 10, 9, 8, 6, 3,
    /* 32 */ 15, 15, 15, 15, 14, 14, 14, 13, 12, 12, 11, 10, 9, 7, 6, 3,
    /* 33 */ 16, 16, 16, 16, 15, 15, 15, 14, 14, 13, 12, 12, 11, 9, 8, 6, 3,
    /* 34 */ 16, 16, 16, 16, 15, 15, 15, 14, 14, 13, 12, 11, 10, 9, 8, 6, 3,
    /* 35 */ 17, 17, 17, 17, 17, 16, 16, 15, 15, 14, 14, 13, 12, 11, 10, 8, 6, 4,
    /* 36 */ 17, 17, 17, 17, 16, 16, 16, 15, 15, 14, 13, 13, 12, 11, 9, 8, 6, 3,
    /* 37 */ 18, 18, 18, 18, 18, 17, 17, 17, 16, 16, 15, 14, 13, 12, 11, 10, 9, 7, 4,
    /* 38 */ 18, 18, 18, 18, 17, 17, 17, 16, 16, 15, 15, 14, 13, 12, 11, 10, 8, 6, 3,
    /* 39 */ 19, 19, 19, 19, 19, 18, 18, 18, 17, 17, 16, 15, 15, 14, 13, 12, 10, 9, 7, 4,
    /* 40 */ 19, 19, 19, 19, 18, 18, 18, 17, 17, 17, 16, 15, 14, 14, 13, 11, 10, 9, 6, 3,
    /* 41 */ 20, 20, 20, 20, 20, 19, 19, 19, 18, 18, 17, 17, 16, 15, 14, 13, 12, 11, 9, 7, 4,
    /* 42 */ 20, 20, 20, 20, 19, 19, 19, 19, 18, 18, 17, 16, 16, 15, 14, 13, 12, 10, 9, 7, 3,
    /* 43 */ 21, 21, 21, 21, 21, 20, 20, 20, 19, 19, 18, 18, 17, 16, 16, 15, 14, 12, 11, 9, 7, 4,
    /* 44 */ 21, 21, 21, 21, 21, 20, 20, 20, 19, 19, 18, 18, 17, 16, 15, 14, 13, 12, 11, 9, 7, 4,
    /* 45 */ 22, 22, 22, 22, 22, 21, 21, 21, 20, 20, 20, 19, 18, 18, 17, 16, 15, 14, 13, 11, 10, 7, 4,
    /* 46 */ 22, 22, 22, 22, 22, 21, 21, 21, 20, 20, 19, 19, 18, 17, 17, 16, 15, 14, 12, 11, 9, 7, 4,
    /* 47 */ 23, 23, 23, 23, 23, 22, 22, 22, 22, 21, 21, 20, 20, 19, 18, 17, 17, 16, 14, 13, 12, 10, 8, 4,
    /* 48 */ 23, 23, 23, 23, 23, 22, 22, 22, 21, 21, 21, 20, 19, 19, 18, 17, 16, 15, 14, 13, 11, 10, 7, 4,
    /* 49 */ 24, 24, 24, 24, 24, 23, 23, 23, 23, 22, 22, 21, 21, 20, 19, 19, 18, 17, 16, 15, 13, 12, 10, 8, 4,
    /* 50 */ 24, 24, 24, 24, 24, 23, 23, 23, 22, 22, 22, 21, 21, 20, 19, 18, 18, 17, 16, 14, 13, 12, 10, 7, 4,
};

inline constexpr int16_t kStart[kMeasuredTipWidth + 2] = {0, 0, 0, 1, 3, 5, 8, 11, 15, 19, 24, 29, 35, 41, 48, 55, 63, 71, 80, 89, 99, 109, 120, 131, 143, 155, 168, 181, 195, 209, 224, 239, 255, 271, 288, 305, 323, 341, 360, 379, 399, 419, 440, 461, 483, 505, 528, 551, 575, 599, 624, 649};
}  // namespace tip_table

// The reach of rows of tips wider than the measured ones.
int32_t wideTipReach(int32_t width, int32_t fromMiddle);

// The reach of row `dy` (within tipRows(width)); width >= 2.
inline int32_t tipReach(int32_t width, int32_t dy) {
    // Rows counted outward from the middle: an even tip's two middle rows
    // are 0 and -1.
    const int32_t i = dy >= 0 ? dy : (width % 2 == 0 ? -1 - dy : -dy);
    if (width <= kMeasuredTipWidth) return tip_table::kReach[tip_table::kStart[width] + i];
    return wideTipReach(width, i);
}

// The columns of row `dy` relative to the point: from..to inclusive.
inline void tipColumns(int32_t width, int32_t dy, int32_t& from, int32_t& to) {
    const int32_t reach = tipReach(width, dy);
    from = -reach - (width % 2 == 0 ? 1 : 0);
    to = reach;
}

}  // namespace gyrotrail
