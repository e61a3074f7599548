// Entry handler of kwsig_32.dll. The run-time start-up calls it for every
// notification; it only puts the loading thread's x87 unit into the state the
// library's arithmetic assumes, and never fails a load.
#include <windows.h>

namespace {

// x87 precision control (bits 8-9 of the control word) to 53-bit significands,
// so that anything evaluated on the x87 stack rounds like a double; rounding
// and exception masks stay as they are. Then the pending exception flags go:
// the x87 status word's and the sticky flags (bits 0-5) of MXCSR.
void set_double_precision() {
    unsigned short cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    cw = static_cast<unsigned short>((cw & ~0x0300u) | 0x0200u);
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(cw));
    unsigned int csr;
    __asm__ volatile("stmxcsr %0" : "=m"(csr));
    csr &= ~0x3Fu;
    __asm__ volatile("ldmxcsr %0" : : "m"(csr));
}

}  // namespace

// Nothing is built at load: the one table of the library is built by its first user.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) set_double_precision();
    return TRUE;
}
