// Per-call scratch arrays from the standard heap.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <limits>

namespace kwsig {

// Owns `count` uninitialised elements for the length of one call. Never
// throws: when the allocation fails (or the size overflows) the buffer is
// empty and the caller returns without writing any output.
template <typename T>
class Scratch {
public:
    explicit Scratch(std::size_t count)
        : p_(count != 0 && count <= std::numeric_limits<std::size_t>::max() / sizeof(T)
                 ? static_cast<T *>(std::malloc(count * sizeof(T)))
                 : nullptr) {}
    ~Scratch() { std::free(p_); }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    explicit operator bool() const { return p_ != nullptr; }
    T *get() const { return p_; }
    T &operator[](std::size_t i) const { return p_[i]; }

    // Gives the memory back early (before a pass that no longer needs it).
    void release() {
        std::free(p_);
        p_ = nullptr;
    }

private:
    T *p_;
};

}  // namespace kwsig
