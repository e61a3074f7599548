// Reader and helpers for the hashed golden cases (cases.tsv): the case
// parameters, the seeded input generator and the hash of the outputs.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace golden {

// splitmix64, the generator every case draws its inputs from.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ull;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [a, b); widths of 1 or 2 make (b - a) * u exact, so this rounds once.
    double uniform(double a, double b) {
        const double u = double(next() >> 11) * 0x1p-53;
        return a + (b - a) * u;
    }
    int randint(int lo, int hi) { return lo + int(next() % uint64_t(hi - lo + 1)); }

    template <typename T>
    std::vector<T> fill(std::size_t n, double a, double b) {
        std::vector<T> v(n);
        for (auto &x : v) x = static_cast<T>(uniform(a, b));
        return v;
    }

private:
    uint64_t state_;
};

// Optional observer of every hashed value, in hashing order. A program that
// compares two builds value by value (not just by hash) installs one.
struct Tap {
    // `n` values of `size` bytes each; `floating` for float and double.
    virtual void record(const void *p, std::size_t size, std::size_t n, bool floating) = 0;
    virtual ~Tap() = default;
};
inline Tap *&tap() {
    static Tap *current = nullptr;
    return current;
}

// 64-bit FNV-1a over the bytes of each value as it lies in memory.
class Hash {
public:
    void bytes(const void *p, std::size_t n) {
        observe(p, 1, n, false);
        mix(p, n);
    }
    template <typename T>
    void values(const T *p, std::size_t n) {
        observe(p, sizeof(T), n, std::is_floating_point<T>::value);
        mix(p, n * sizeof(T));
    }
    template <typename T>
    void value(T v) { values(&v, 1); }
    uint64_t get() const { return h_; }

private:
    static void observe(const void *p, std::size_t size, std::size_t n, bool floating) {
        if (Tap *t = tap()) t->record(p, size, n, floating);
    }
    void mix(const void *p, std::size_t n) {
        auto *b = static_cast<const unsigned char *>(p);
        for (std::size_t i = 0; i < n; ++i) h_ = (h_ ^ b[i]) * 0x100000001b3ull;
    }
    uint64_t h_ = 0xcbf29ce484222325ull;
};

struct Case {
    std::string id, exported;
    std::map<std::string, std::string> params;
    uint64_t seed = 0;
    uint64_t hash = 0;

    bool has(const std::string &key) const { return params.count(key) != 0; }
    const std::string &text(const std::string &key) const;
    int integer(const std::string &key) const;
    // A decimal literal or P/Q, the double quotient of two literals.
    double real(const std::string &key) const;
};

// Directory of the golden files: $KWSIG_GOLDEN_DIR, else the build-time default.
std::string directory();
// Every case of cases.tsv whose export is `exported`.
std::vector<Case> cases_for(const std::string &exported);

// Every case of cases.tsv, in file order.
std::vector<Case> all_cases();

// A runner regenerates a case's inputs, makes its calls and returns the hash of
// what they wrote. Each export's runner registers itself at start-up from a
// file-scope `golden::Register` object, so any program that links the runner
// sources (the unit tests, the cross-platform comparison) can find it by name.
using Runner = uint64_t (*)(const Case &);
struct Register {
    Register(const char *exported, Runner run);
};
Runner runner_for(const std::string &exported);  // nullptr when none registered

}  // namespace golden
