#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define GYROTRAIL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GYROTRAIL_SANITIZED 1
#endif
#endif

#if !defined(GYROTRAIL_SANITIZED)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
}
#endif

namespace {
std::atomic<int> counters{0};
std::atomic<std::size_t> allocations{0};

void note() {
    if (counters.load(std::memory_order_relaxed) > 0) allocations.fetch_add(1, std::memory_order_relaxed);
}

// Straight to the allocator underneath, uncounted: the caller has counted.
void* rawMalloc(std::size_t size) {
#if defined(GYROTRAIL_SANITIZED)
    return std::malloc(size);
#else
    return __libc_malloc(size);
#endif
}

void* rawAligned(std::size_t alignment, std::size_t size) {
#if defined(GYROTRAIL_SANITIZED)
    return std::aligned_alloc(alignment, size);
#else
    return __libc_memalign(alignment, size);
#endif
}

void* allocate(std::size_t size) {
    note();
    for (;;) {
        if (void* p = rawMalloc(size == 0 ? 1 : size)) return p;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    note();
    const std::size_t a = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + a - 1) / a * a;
    if (void* p = rawAligned(a, rounded == 0 ? a : rounded)) return p;
    throw std::bad_alloc();
}
}  // namespace

namespace gyrotrail::testing {

AllocationCounter::AllocationCounter() {
    allocations.store(0);
    counters.fetch_add(1);
}

AllocationCounter::~AllocationCounter() { counters.fetch_sub(1); }

std::size_t AllocationCounter::count() const { return allocations.load(); }

bool countsMalloc() {
#if defined(GYROTRAIL_SANITIZED)
    return false;
#else
    return true;
#endif
}

}  // namespace gyrotrail::testing

// Every replaceable form of operator new and delete.
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned(size, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t& tag) noexcept {
    return operator new(size, a, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

#if !defined(GYROTRAIL_SANITIZED)
// The C library's allocator, counted on its way to glibc's own.
extern "C" {
void* malloc(std::size_t size) noexcept {
    note();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) noexcept {
    note();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) noexcept {
    note();
    return __libc_realloc(p, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    note();
    return __libc_memalign(alignment, size);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    note();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    note();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) return 12;  // ENOMEM
    *out = p;
    return 0;
}
}
#endif
