// Counts heap allocations while a counter is alive. A test binary that links
// this file has every form of operator new replaced and, where no sanitizer
// owns the C library's allocator, malloc and its relatives too.
#pragma once

#include <cstddef>

namespace gyrotrail::testing {

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    // Allocations made since the counter was made.
    std::size_t count() const;
};

// False in sanitizer builds, where only operator new is counted.
bool countsMalloc();

}  // namespace gyrotrail::testing
