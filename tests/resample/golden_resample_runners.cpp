// Golden-case runners of the resamplers and the kernel response: inputs
// regenerated from the case's seed, the calls made, the outputs hashed.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "kwsig.h"
#include "support/golden.h"

namespace {

template <typename T, auto Resample>
uint64_t run_resample(const golden::Case &c) {
    golden::Rng rng(c.seed);
    const T step = T(c.real("step"));
    T phase = T(c.real("phase"));
    std::vector<T> history = c.text("history") == "random" ? rng.fill<T>(11, -1, 1)
                                                            : std::vector<T>(11, T(0));
    const int calls = c.integer("calls");
    const int ninmax = c.integer("ninmax");
    const bool ample = c.text("cap") == "ample";
    const int cap = ample ? 0 : c.integer("cap");

    golden::Hash h;
    for (int call = 0; call < calls; ++call) {
        const int ninput = rng.randint(0, ninmax);
        int noutput = ample ? 0 : rng.randint(0, cap);
        std::vector<T> input = rng.fill<T>(std::size_t(ninput), -1, 1);
        if (ample) noutput = int(std::floor((ninput + 8.0) / double(step))) + 2;
        std::vector<T> output(std::size_t(noutput) + 1);  // + 1: never a null pointer
        int nwritten = -1;
        Resample(input.data(), ninput, output.data(), noutput, &nwritten, &phase, step,
                 history.data());
        h.values(output.data(), std::size_t(nwritten));
        h.value(phase);
        h.values(history.data(), history.size());
        h.value(int32_t(nwritten));
    }
    return h.get();
}

uint64_t run_resamp_resp(const golden::Case &c) {
    const int npoints = c.integer("npoints");
    std::vector<double> response(static_cast<std::size_t>(npoints));
    kwsig_resamp_resp(response.data(), npoints, c.real("start"), c.real("stop"));
    golden::Hash h;
    h.values(response.data(), response.size());
    return h.get();
}

const golden::Register resample("kwsig_resample", run_resample<float, kwsig_resample>);
const golden::Register resample_double("kwsig_resample_double",
                                       run_resample<double, kwsig_resample_double>);
const golden::Register resamp_resp("kwsig_resamp_resp", run_resamp_resp);

}  // namespace
