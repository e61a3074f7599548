// Compiles a kernel header written over lane types (lanes.h) twice: in
// namespace `lanes` for the plain and SSE2 lanes, and in namespace
// `lanes_avx2` inside an AVX2 region, for LanesAvx2. Define
// KWSIG_LANES_KERNELS as the header's name, then include this file:
//
//   #define KWSIG_LANES_KERNELS "fir/fir_lanes.h"
//   #include "frame/lanes_twice.h"
//
// The kernel header has no include guard and includes nothing itself but
// fragments written the same way (no guard, nothing included); what it uses
// must be declared before. (No include guard here either.)
#if !defined(KWSIG_LANES_KERNELS)
#error "KWSIG_LANES_KERNELS names the kernel header to compile"
#endif

namespace lanes {
#include KWSIG_LANES_KERNELS
}  // namespace lanes

#if defined(KWSIG_X86_KERNELS)
KWSIG_BEGIN_AVX2
namespace lanes_avx2 {
#include KWSIG_LANES_KERNELS
}  // namespace lanes_avx2
KWSIG_END_AVX2
#endif

#undef KWSIG_LANES_KERNELS
