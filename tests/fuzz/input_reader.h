// Reads a fuzz input as a stream of small values. Past the end every read
// gives zeros, so any input, however short, decodes to something.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gyrotrail::fuzz {

class InputReader {
public:
    InputReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t remaining() const { return size_ - at_; }

    uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | (static_cast<uint32_t>(u16()) << 16); }

    // Up to `n` bytes straight from the input; `n` shrinks to what is left.
    const uint8_t* take(std::size_t& n) {
        if (n > remaining()) n = remaining();
        const uint8_t* from = data_ + at_;
        at_ += n;
        return from;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace gyrotrail::fuzz
