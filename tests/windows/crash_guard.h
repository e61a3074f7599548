// Test programs that run under wine: a crash ends the program with a failure
// line and exit code 3 instead of starting a debugger, and stdout writes plain
// LF line ends. Nothing happens on other platforms.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>

namespace kwsig_test {

inline LONG WINAPI report_crash(EXCEPTION_POINTERS *info) {
    std::printf("FAIL crash: exception 0x%08lx at %p\n",
                static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                info->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    ExitProcess(3);
}

inline void install_crash_guard() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(report_crash);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace kwsig_test
#else
namespace kwsig_test {
inline void install_crash_guard() {}
}  // namespace kwsig_test
#endif
