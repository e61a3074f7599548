// Golden-case runners of the FIR exports: inputs regenerated from the case's
// seed, the calls made, everything they wrote hashed.
#include <vector>

#include "kwsig.h"
#include "support/golden.h"

namespace {

// A stream of blocks through one state array; each block's output, then the
// state, is hashed after its call.
template <typename T, auto Filter>
uint64_t run_fir(const golden::Case &c) {
    golden::Rng rng(c.seed);
    const int ntaps = c.integer("ntaps");
    const int extra = c.integer("extra");
    const bool inplace = c.integer("inplace") != 0;
    const std::vector<T> coef = rng.fill<T>(ntaps, -1, 1);
    std::vector<T> state = c.text("state") == "random" ? rng.fill<T>(ntaps, -1, 1)
                                                       : std::vector<T>(ntaps, T(0));
    golden::Hash h;
    for (int b = c.integer("blocks"); b > 0; --b) {
        const int count = rng.randint(ntaps, ntaps + extra);
        std::vector<T> input = rng.fill<T>(count, -1, 1);
        std::vector<T> separate(inplace ? 0 : count);
        T *output = inplace ? input.data() : separate.data();
        Filter(input.data(), output, count, coef.data(), ntaps, state.data());
        h.values(output, count);
        h.values(state.data(), ntaps);
    }
    return h.get();
}

uint64_t run_fir_resp(const golden::Case &c) {
    golden::Rng rng(c.seed);
    const int npoints = c.integer("npoints");
    const int ntaps = c.integer("ntaps");
    const std::vector<double> coef = rng.fill<double>(ntaps, -1, 1);
    std::vector<double> response(2 * std::size_t(npoints));
    kwsig_fir_resp(response.data(), npoints, c.real("start"), c.real("stop"), coef.data(), ntaps);
    golden::Hash h;
    h.values(response.data(), response.size());
    return h.get();
}

uint64_t run_fir_synth(const golden::Case &c) {
    golden::Rng rng(c.seed);
    const int nfreq = c.integer("nfreq");
    const int ntaps = c.integer("ntaps");
    const std::size_t n = std::size_t(nfreq);
    std::vector<double> desired(2 * n + 2);
    if (c.text("desired") == "random") {
        desired = rng.fill<double>(2 * n + 2, -1, 1);
    } else {
        for (std::size_t p = 0; p <= n; ++p) {
            desired[2 * p] = 1.0;
            desired[2 * p + 1] = 0.0;
        }
    }
    std::vector<double> weights(n + 1);
    const std::string &w = c.text("weights");
    if (w == "random") {
        weights = rng.fill<double>(n + 1, 0.5, 1.5);
    } else {
        weights.assign(n + 1, w == "ones" ? 1.0 : 0.0);
    }
    std::vector<double> coef(ntaps, 0.0);
    const double r =
        kwsig_fir_synth(desired.data(), weights.data(), nfreq, c.real("delay"), coef.data(), ntaps);
    golden::Hash h;
    h.values(coef.data(), coef.size());
    h.value(r);
    return h.get();
}

const golden::Register fir("kwsig_fir", run_fir<float, kwsig_fir>);
const golden::Register fir_double("kwsig_fir_double", run_fir<double, kwsig_fir_double>);
const golden::Register fir_resp("kwsig_fir_resp", run_fir_resp);
const golden::Register fir_synth("kwsig_fir_synth", run_fir_synth);

}  // namespace
