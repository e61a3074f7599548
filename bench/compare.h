// Side-by-side timing of implementations of the same job, in one process.
//
// Each contender is a callable that does one unit of work (one transform, one
// block). Rounds are interleaved, A B C A B C ..., so that a change in the
// machine's load or clock during the run falls on every contender alike; each
// round of a contender repeats its call enough times to last about
// `round_seconds`. The figure per contender is the median over the rounds of
// the thread's CPU time per call (CLOCK_THREAD_CPUTIME_ID: time the process
// spent waiting for a shared core does not count).
#pragma once

#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct Contender {
    std::string name;
    std::function<void()> run;
};

inline double thread_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Median CPU seconds per call of each contender, in the order given.
inline std::vector<double> median_seconds(const std::vector<Contender> &contenders, int rounds = 15,
                                          double round_seconds = 0.01) {
    std::vector<long> reps(contenders.size(), 1);
    for (std::size_t i = 0; i < contenders.size(); ++i) {  // warm up and calibrate
        for (;;) {
            const double t0 = thread_seconds();
            for (long r = 0; r < reps[i]; ++r) contenders[i].run();
            if (thread_seconds() - t0 >= round_seconds / 4) break;
            reps[i] *= 2;
        }
        reps[i] *= 4;
    }
    std::vector<std::vector<double>> times(contenders.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            const double t0 = thread_seconds();
            for (long r = 0; r < reps[i]; ++r) contenders[i].run();
            times[i].push_back((thread_seconds() - t0) / double(reps[i]));
        }
    std::vector<double> medians;
    for (auto &t : times) {
        std::nth_element(t.begin(), t.begin() + long(t.size() / 2), t.end());
        medians.push_back(t[t.size() / 2]);
    }
    return medians;
}

// The machine's load averages (1, 5, 15 minutes), to print beside the figures.
inline std::string load_average() {
    char buf[128] = "unknown";
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(buf, sizeof buf, f)) buf[0] = 0;
        std::fclose(f);
    }
    std::string s(buf);
    const auto cut = s.find(' ', s.find(' ', s.find(' ') + 1) + 1);
    return s.substr(0, cut);
}

// n values uniform in [-1, 1) from a fixed seed.
template <typename T>
inline std::vector<T> noise(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<T> v(n);
    for (auto &x : v) x = T(u(gen));
    return v;
}

// Another build of the library (an older one, say), to time its exports
// beside this build's: open it, then bind each export by name.
inline void *open_baseline(const char *path) {
    void *lib = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (!lib) std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
    return lib;
}

template <typename F>
bool bind(void *lib, const char *name, F &f) {
    f = reinterpret_cast<F>(dlsym(lib, name));
    if (!f) std::fprintf(stderr, "baseline lacks %s\n", name);
    return f != nullptr;
}

}  // namespace bench
