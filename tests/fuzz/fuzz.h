// Shared by the fuzz targets: arguments decoded from the fuzzer's bytes,
// arrays with guard zones, and the checks that end a run.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define KWSIG_FUZZ_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define KWSIG_FUZZ_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#endif
#endif
#ifndef KWSIG_FUZZ_POISON
#define KWSIG_FUZZ_POISON(p, n) ((void)(p), (void)(n))
#define KWSIG_FUZZ_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

// A broken promise: report it and abort, which libFuzzer records as a crash.
#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

namespace fuzz {

// The input bytes as a stream of arguments. Past the end of the input the
// stream continues with pseudo-random bytes seeded by the whole input, so any
// count gets varied data and every input decodes to one fixed call.
class Bytes {
public:
    Bytes(const uint8_t *data, std::size_t size) : p_(data), end_(data + size) {
        for (std::size_t i = 0; i < size; ++i) state_ = (state_ ^ data[i]) * 0x100000001b3ull;
    }

    uint8_t u8() {
        if (p_ < end_) return *p_++;
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return uint8_t(state_ >> 24);
    }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | u8();
        return v;
    }
    uint64_t u64() {
        const uint64_t high = u32();
        return high << 32 | u32();
    }
    bool one_in(unsigned n) { return u8() % n == 0; }

    // A count: mostly 0 .. cap, sometimes one a function must refuse or that
    // no array here could hold (negative, huge, the int limits, 2^30 + 1).
    int count(int cap) {
        const uint8_t kind = u8();
        if (kind < 200) {
            const uint32_t high = u8();
            return int((high << 8 | u8()) % uint32_t(cap + 1));
        }
        static const int special[] = {-1, -2, std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max(), 1 << 30, (1 << 30) + 1,
                                      -(1 << 30), 3 << 20};
        if (kind < 240) return special[kind % (sizeof special / sizeof *special)];
        return int(u32());
    }
    // A power of two 2^0 .. 2^max_log2 most of the time, else any count.
    int pow2_count(int max_log2, int cap) {
        if (u8() < 192) return 1 << (u8() % (max_log2 + 1));
        return count(cap);
    }

    // A double from the whole range: ordinary values, small integers, the
    // limits, subnormals, infinities, NaN, or any bit pattern at all.
    double real() {
        const uint8_t kind = u8();
        if (kind < 128) return double(int32_t(u32())) / double(1 << 30);  // about -2 .. 2
        if (kind < 176) return double(int(u8()) - 128) / 8.0;
        if (kind < 216) {
            static const double special[] = {
                0.0, -0.0, 1.0, -1.0, std::numeric_limits<double>::infinity(),
                -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(),
                -std::numeric_limits<double>::denorm_min(), 1e300, 1e-300, 0.5, 1e6};
            return special[kind % (sizeof special / sizeof *special)];
        }
        const uint64_t bits = u64();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // The same for a float: through a double, or a float bit pattern (float
    // subnormals, NaN payloads) now and then.
    template <typename T>
    T value() {
        if (sizeof(T) == sizeof(float) && one_in(8)) {
            const uint32_t bits = u32();
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return T(v);
        }
        return T(real());
    }
    // Uniform in [lo, hi), rounded to T.
    template <typename T>
    T uniform(double lo, double hi) {
        return T(lo + (hi - lo) * double(u32()) / 4294967296.0);
    }
    // Mostly uniform in [lo, hi), now and then any value at all.
    template <typename T>
    T tame(double lo, double hi) {
        return one_in(16) ? value<T>() : uniform<T>(lo, hi);
    }

private:
    const uint8_t *p_, *end_;
    uint64_t state_ = 0xcbf29ce484222325ull;
};

// `n` elements between two guard zones. The guards hold a fixed pattern and
// are poisoned for AddressSanitizer, so any access to them stops the run at
// once; check() also finds a write that the sanitizer did not see. An array of
// zero elements is a pointer to the trailing guard.
template <typename T>
class Guarded {
public:
    static constexpr std::size_t kGuard = 64;  // bytes on either side

    explicit Guarded(std::size_t n) : n_(n), raw_(2 * kGuard + n * sizeof(T), kPattern) {
        KWSIG_FUZZ_POISON(raw_.data(), raw_.size());
        KWSIG_FUZZ_UNPOISON(data(), n_ * sizeof(T));
    }
    ~Guarded() {
        check();
        KWSIG_FUZZ_UNPOISON(raw_.data(), raw_.size());
    }
    Guarded(const Guarded &) = delete;
    Guarded &operator=(const Guarded &) = delete;

    T *data() { return reinterpret_cast<T *>(raw_.data() + kGuard); }
    const T *data() const { return reinterpret_cast<const T *>(raw_.data() + kGuard); }
    std::size_t size() const { return n_; }
    T &operator[](std::size_t i) { return data()[i]; }

    template <typename F>
    void fill(F &&next) {
        for (std::size_t i = 0; i < n_; ++i) data()[i] = next();
    }
    void fill_from(Bytes &in) {
        fill([&] { return in.value<T>(); });
    }
    void copy_from(const T *src) {
        if (n_ != 0) std::memcpy(data(), src, n_ * sizeof(T));
    }
    // The contents, to compare bit for bit after a call.
    std::vector<T> snapshot() const { return std::vector<T>(data(), data() + n_); }

    void check() const {
        const std::size_t tail = kGuard + n_ * sizeof(T);
        KWSIG_FUZZ_UNPOISON(raw_.data(), raw_.size());
        for (std::size_t i = 0; i < raw_.size(); ++i)
            if (i < kGuard || i >= tail) FUZZ_CHECK(raw_[i] == kPattern);
        KWSIG_FUZZ_POISON(raw_.data(), raw_.size());
        KWSIG_FUZZ_UNPOISON(raw_.data() + kGuard, n_ * sizeof(T));
    }

private:
    static constexpr unsigned char kPattern = 0xa5;
    std::size_t n_;
    std::vector<unsigned char> raw_;
};

// Runs one of the alternatives, chosen by the next byte.
template <typename... F>
void one_of(Bytes &in, F &&...alternatives) {
    const unsigned pick = in.u8() % sizeof...(F);
    unsigned i = 0;
    ((i++ == pick ? alternatives() : void()), ...);
}

// Bit-for-bit equality of n values: for copies, and for results of the same
// operations in the same order.
template <typename T>
bool same_bits(const T *a, const T *b, std::size_t n) {
    return n == 0 || std::memcmp(a, b, n * sizeof(T)) == 0;
}
template <typename T>
bool same_bits(const Guarded<T> &a, const std::vector<T> &b) {
    return a.size() == b.size() && same_bits(a.data(), b.data(), b.size());
}

// The same result from another evaluation order of the same rounded
// operations (SIMD lanes against scalar code): equal bits, except that two
// NaNs may carry different payloads.
template <typename T>
bool same_result(const T *a, const T *b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!same_bits(a + i, b + i, 1) && !(std::isnan(a[i]) && std::isnan(b[i]))) return false;
    return true;
}

}  // namespace fuzz
