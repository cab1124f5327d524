// floor and ceiling of a quotient whose numerator grows by a fixed step each
// row, carried along instead of dividing again.
#pragma once

#include <cstdint>

namespace gyrotrail {

// floor(n / k) for k > 0.
inline int64_t floorDiv(int64_t n, int64_t k) {
    const int64_t q = n / k;
    return n % k != 0 && n < 0 ? q - 1 : q;
}

// floor(n / k), k > 0, while n grows by `step` each row.
class SteppedQuotient {
public:
    SteppedQuotient() = default;
    SteppedQuotient(int64_t n, int64_t k, int64_t step)
        : k_(k), q_(floorDiv(n, k)), r_(n - q_ * k), stepQ_(floorDiv(step, k)), stepR_(step - stepQ_ * k) {}
    int64_t floor() const { return q_; }
    int64_t ceil() const { return q_ + (r_ != 0 ? 1 : 0); }
    // The carry follows the slope, a pattern no branch predictor learns, so
    // it is taken without a branch.
    void advance() {
        r_ += stepR_;
        const int64_t carry = r_ >= k_ ? 1 : 0;
        r_ -= k_ & -carry;
        q_ += stepQ_ + carry;
    }

private:
    int64_t k_ = 1, q_ = 0, r_ = 0, stepQ_ = 0, stepR_ = 0;
};

}  // namespace gyrotrail
