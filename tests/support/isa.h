// The kernels' instruction sets this machine runs, for tests that compare
// their paths. Only for programs linked to the static library (the hook that
// narrows the choice is not exported).
#pragma once

#include <vector>

#include "frame/cpu.h"

namespace isa {

inline const char *name(kwsig::Isa i) {
    return i == kwsig::Isa::avx2 ? "AVX2" : i == kwsig::Isa::sse2 ? "SSE2" : "plain loops";
}

// f(isa) once with the kernels narrowed to each instruction set the machine
// has, the plain loops first; the widest is in use again afterwards. Returns
// the results in that order.
template <typename F>
auto on_each(F f) {
    std::vector<decltype(f(kwsig::Isa::portable))> results;
    for (kwsig::Isa i : {kwsig::Isa::portable, kwsig::Isa::sse2, kwsig::Isa::avx2}) {
        if (i > kwsig::cpu_isa()) break;
        kwsig::limit_isa(i);
        results.push_back(f(i));
    }
    kwsig::limit_isa(kwsig::Isa::avx2);
    return results;
}

}  // namespace isa
