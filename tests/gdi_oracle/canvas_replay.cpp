#include "canvas_replay.h"

#include "render/canvas_raster.h"

namespace gyrotrail::oracle {

void CanvasReplay::reset(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<size_t>(width) * height, 0);
    selected_ = kStock;
    x_ = y_ = 0;
}

void CanvasReplay::apply(const std::vector<testing::DrawCall>& calls) {
    using testing::Op;
    for (const testing::DrawCall& call : calls) {
        switch (call.op) {
            case Op::GetDC: selected_ = kStock; break;
            case Op::CreatePen: created_ = Pen{call.a, call.b, call.c}; break;
            // The renderer selects each pen right after creating it, and
            // then the stock pen back.
            case Op::SelectObject: selected_ = call.a == 0 ? kStock : created_; break;
            case Op::MoveToEx:
                x_ = static_cast<int32_t>(call.a);
                y_ = static_cast<int32_t>(call.b);
                break;
            case Op::LineTo: {
                const auto x = static_cast<int32_t>(call.a), y = static_cast<int32_t>(call.b);
                if (selected_.style != 5)  // PS_NULL draws nothing
                    strokeSegment(PixelView{pixels_.data(), width_, height_, width_}, x_, y_, x, y,
                                  static_cast<int32_t>(selected_.width < 1 ? 1 : selected_.width),
                                  canvasPixel(static_cast<uint32_t>(selected_.colour)));
                x_ = x;
                y_ = y;
                break;
            }
            default: break;
        }
    }
}

}  // namespace gyrotrail::oracle
