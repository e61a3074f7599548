// Concurrent first calls: several threads make the process's first resampler
// calls at the same moment; each must see the complete kernel table and give
// exactly the outputs that the same calls give one after another afterwards.
// This program makes no other resampler call before this test.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "kwsig.h"

namespace {

struct Result {
    std::vector<float> out_f;
    std::vector<double> out_d;
    int nwritten = 0;
    float phase_f = 0;
    double phase_d = 0;
};

std::vector<double> tone(int n, double f) {
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int m = 0; m < n; ++m) x[m] = std::sin(2 * 3.141592653589793 * f * m + 0.3);
    return x;
}

// Thread t runs one stream: even threads the float twin, odd threads the
// double twin, each with its own step and start phase.
Result run(int t, const std::vector<double> &x) {
    Result r;
    const double step = 0.7 + 0.173 * t;
    const double phase0 = -6.0 + 0.37 * t;
    const int cap = int(x.size() / step) + 16;
    if (t % 2 == 0) {
        std::vector<float> in(x.begin(), x.end()), h(11, 0.0f);
        r.out_f.assign(std::size_t(cap), 0.0f);
        r.phase_f = float(phase0);
        kwsig_resample(in.data(), int(in.size()), r.out_f.data(), cap, &r.nwritten, &r.phase_f,
                       float(step), h.data());
    } else {
        std::vector<double> h(11, 0.0);
        r.out_d.assign(std::size_t(cap), 0.0);
        r.phase_d = phase0;
        kwsig_resample_double(x.data(), int(x.size()), r.out_d.data(), cap, &r.nwritten,
                              &r.phase_d, step, h.data());
    }
    return r;
}

TEST(ResampleThreads, ConcurrentFirstCallsMatchSequentialCalls) {
    constexpr int kThreads = 8;
    const std::vector<double> x = tone(3000, 0.031);

    std::vector<Result> concurrent(kThreads);
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
            concurrent[t] = run(t, x);
        });
    }
    while (ready.load() < kThreads) std::this_thread::yield();
    go.store(true, std::memory_order_release);
    for (auto &th : threads) th.join();

    for (int t = 0; t < kThreads; ++t) {
        const Result seq = run(t, x);
        const Result &con = concurrent[t];
        ASSERT_EQ(con.nwritten, seq.nwritten) << "thread " << t;
        EXPECT_GT(con.nwritten, 1000) << "thread " << t;
        EXPECT_EQ(std::memcmp(&con.phase_f, &seq.phase_f, sizeof con.phase_f), 0);
        EXPECT_EQ(std::memcmp(&con.phase_d, &seq.phase_d, sizeof con.phase_d), 0);
        if (t % 2 == 0)
            EXPECT_EQ(std::memcmp(con.out_f.data(), seq.out_f.data(), con.out_f.size() * 4), 0)
                << "thread " << t;
        else
            EXPECT_EQ(std::memcmp(con.out_d.data(), seq.out_d.data(), con.out_d.size() * 8), 0)
                << "thread " << t;
    }
}

}  // namespace
