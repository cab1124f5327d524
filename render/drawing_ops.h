// The eight drawing operations the frame renderer uses, and nothing more.
//
// A drawing backend is a type with these members, each behaving as the
// Windows function of the same name does for this renderer (handles are
// opaque pointers, as on Windows):
//   getDC(window) -> context or null         getClientRect(window, rect) -> ok
//   createPen(style, width, colour) -> pen   selectObject(context, pen) -> previous pen
//   moveToEx(context, x, y) -> ok            lineTo(context, x, y) -> ok
//   deleteObject(pen) -> ok                  releaseDC(window, context) -> 1 if released
// Backends: the real USER/GDI calls on Windows, the portable canvas, and a
// recorder in the tests.
#pragma once

#include <concepts>
#include <cstdint>

namespace gyrotrail {

using Handle = void*;

struct ClientRect {
    int32_t left;
    int32_t top;
    int32_t right;   // width of the client area
    int32_t bottom;  // height of the client area
};

inline constexpr int32_t kPenSolid = 0;  // PS_SOLID

template <class T>
concept DrawingOps = requires(T ops, Handle h, ClientRect* rect, int32_t n, uint32_t colour) {
    { ops.getDC(h) } -> std::convertible_to<Handle>;
    { ops.getClientRect(h, rect) } -> std::convertible_to<bool>;
    { ops.createPen(n, n, colour) } -> std::convertible_to<Handle>;
    { ops.selectObject(h, h) } -> std::convertible_to<Handle>;
    { ops.moveToEx(h, n, n) } -> std::convertible_to<bool>;
    { ops.lineTo(h, n, n) } -> std::convertible_to<bool>;
    { ops.deleteObject(h) } -> std::convertible_to<bool>;
    { ops.releaseDC(h, h) } -> std::convertible_to<int>;
};

}  // namespace gyrotrail
