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

// The reach of row `dy` (within tipRows(width)); width >= 2.
int32_t tipReach(int32_t width, int32_t dy);

// The columns of row `dy` relative to the point: from..to inclusive.
inline void tipColumns(int32_t width, int32_t dy, int32_t& from, int32_t& to) {
    const int32_t reach = tipReach(width, dy);
    from = -reach - (width % 2 == 0 ? 1 : 0);
    to = reach;
}

}  // namespace gyrotrail
