#pragma once
// A building block of the converter itself, not exported.
//
// Uninitialised storage for the large arrays a run sizes once (the point table,
// the snapping index): n elements of a trivial type, on huge pages where the
// system offers them. Searches that jump about such arrays would otherwise
// spend much of their time on page-table walks, and filling them on one page
// fault per 4 KiB.
//
// The elements are not initialised; callers write each before reading it.
#include <cstddef>
#include <cstdlib>
#include <new>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace velmorak::util {

namespace detail {
// Memory for `bytes`, aligned to and advised for huge pages when it is large;
// nullptr when it cannot be had. Released with FreeBig.
void* allocate_big(std::size_t bytes);
struct FreeBig {
    void operator()(void* p) const noexcept;
};
}  // namespace detail

template <typename T>
class BigArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "elements live in raw memory");

public:
    BigArray() = default;
    explicit BigArray(std::size_t n) : data_(static_cast<T*>(detail::allocate_big(n * sizeof(T)))), size_(n) {
        if (!data_ && n > 0) throw std::bad_alloc();
    }

    T* data() noexcept { return data_.get(); }
    const T* data() const noexcept { return data_.get(); }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T& operator[](std::size_t i) noexcept { return data_.get()[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_.get()[i]; }
    std::span<T> span() noexcept { return {data_.get(), size_}; }
    std::span<const T> span() const noexcept { return {data_.get(), size_}; }

private:
    std::unique_ptr<T, detail::FreeBig> data_;
    std::size_t size_ = 0;
};

// An allocator for vectors a run sizes once and fills as it goes: storage from
// calloc, which hands out zeroed memory without writing it (large blocks come
// fresh from the system), and no element written on construction, so memory
// beyond what the run fills is never touched. For trivial types, whose
// objects calloc's zeroed storage already holds. Meant for vectors sized once:
// elements that come back after the vector shrank keep their old values.
template <typename T>
struct LazyZeroAllocator {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    using value_type = T;

    LazyZeroAllocator() = default;
    template <typename U>
    LazyZeroAllocator(const LazyZeroAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        void* p = std::calloc(n, sizeof(T));
        if (p == nullptr && n > 0) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }
    // Value-initialising construction leaves the zeroed storage as it is.
    template <typename U>
    void construct(U*) noexcept {}
    template <typename U, typename... A>
    void construct(U* p, A&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
    template <typename U>
    bool operator==(const LazyZeroAllocator<U>&) const noexcept {
        return true;
    }
};

template <typename T>
using LazyVector = std::vector<T, LazyZeroAllocator<T>>;

}  // namespace velmorak::util
