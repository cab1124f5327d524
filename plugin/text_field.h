// Copying a text into a fixed-width field of a host record.
#pragma once

#include <cstring>

namespace gyrotrail {

// Copies `text` and its terminator; the bytes after the terminator keep the
// host's contents. The field must be large enough, which the callers ensure
// with compile-time checks on their literals.
template <std::size_t FieldWidth, std::size_t TextSize>
void copyText(char (&field)[FieldWidth], const char (&text)[TextSize]) {
    static_assert(TextSize <= FieldWidth, "text does not fit its field");
    std::memcpy(field, text, TextSize);
}

}  // namespace gyrotrail
