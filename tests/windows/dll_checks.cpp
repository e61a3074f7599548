// kwsig_32.dll as a Windows caller sees it: load-time floating-point set-up,
// export and import tables, version record, and every export called through
// its __stdcall prototype and through a hand-made call frame that measures the
// stack, the callee-saved registers and the x87 and SSE state around the call.
// Prints one PASS/FAIL line per check and "N passed, N failed" at the end.
#include <windows.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "crash_guard.h"
#include "kwsig.h"
#include "support/golden.h"

namespace {

int passed = 0, failed = 0;

bool check(bool ok, const std::string &what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    ++(ok ? passed : failed);
    return ok;
}

std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%08x", static_cast<unsigned>(v));
    return b;
}

// ---- the export table every caller relies on --------------------------------
struct Export {
    const char *name;
    int ordinal;
    int bytes;  // argument bytes the function pops
};
// From kwsig_32.def, the library's export list.
const Export kExports[] = {
#include "kwsig_exports.inc"
};
constexpr int kExportCount = int(sizeof kExports / sizeof kExports[0]);

// ---- x87 / SSE state ---------------------------------------------------------
uint16_t get_fcw() {
    uint16_t cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    return cw;
}
void set_fcw(uint16_t cw) { __asm__ volatile("fldcw %0" : : "m"(cw)); }
uint16_t get_fsw() {
    uint16_t sw;
    __asm__ volatile("fnstsw %0" : "=m"(sw));
    return sw;
}
uint32_t get_mxcsr() {
    uint32_t v;
    __asm__ volatile("stmxcsr %0" : "=m"(v));
    return v;
}
void set_mxcsr(uint32_t v) { __asm__ volatile("ldmxcsr %0" : : "m"(v)); }
constexpr uint32_t kMxcsrFlags = 0x3F;

// ---- a call frame built by hand ------------------------------------------------
// kwsig_thunk_call pushes `slots` (slot 0 lowest, i.e. pushed last) on a stack
// placed so that esp % 16 == entry_mod16 when the callee starts, loads sentinels
// into ebx/esi/edi, calls, and records esp, those registers, MXCSR and the x87
// environment. With caller_pops it also removes the arguments itself, as a
// caller compiled with a cdecl prototype would.
struct ThunkFrame {
    uint32_t fn;            // 0
    uint32_t nslots;        // 4
    const uint32_t *slots;  // 8
    uint32_t entry_mod16;   // 12
    uint32_t caller_pops;   // 16
    uint32_t esp_before;    // 20: esp before the arguments are pushed
    uint32_t esp_after;     // 24: esp once the call (and any caller clean-up) is over
    uint32_t ebx, esi, edi; // 28, 32, 36
    uint32_t pop_st0;       // 40: store and pop ST0 (a double result)
    uint32_t mxcsr;         // 44
    uint8_t env[28];        // 48: x87 environment right after the call
    uint8_t env_popped[28]; // 76: the same after ST0 was popped
    double st0;             // 104
};
static_assert(offsetof(ThunkFrame, pop_st0) == 40 && offsetof(ThunkFrame, env) == 48 &&
                  offsetof(ThunkFrame, env_popped) == 76 && offsetof(ThunkFrame, st0) == 104,
              "offsets used by the assembly below");
constexpr uint32_t kEbx = 0xB1B2B3B4u, kEsi = 0x5A5B5C5Du, kEdi = 0xD1D2D3D4u;

}  // namespace

extern "C" void kwsig_thunk_call(ThunkFrame *frame);
__asm__(
    ".text\n"
    ".globl _kwsig_thunk_call\n"
    "_kwsig_thunk_call:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl 8(%ebp), %eax\n"
    "  movl 4(%eax), %ecx\n"
    "  movl %esp, %edx\n"
    "  subl $64, %edx\n"
    "  andl $-16, %edx\n"
    "  movl 12(%eax), %ebx\n"          // esp before the pushes = m + 4n + 4 (mod 16)
    "  leal 4(%ebx,%ecx,4), %ebx\n"
    "  andl $15, %ebx\n"
    "  addl %ebx, %edx\n"
    "  movl %edx, %esp\n"
    "  movl %esp, 20(%eax)\n"
    "  movl 8(%eax), %esi\n"
    "1:\n"
    "  testl %ecx, %ecx\n"
    "  jz 2f\n"
    "  decl %ecx\n"
    "  pushl (%esi,%ecx,4)\n"
    "  jmp 1b\n"
    "2:\n"
    "  movl (%eax), %edx\n"
    "  movl $0xB1B2B3B4, %ebx\n"
    "  movl $0x5A5B5C5D, %esi\n"
    "  movl $0xD1D2D3D4, %edi\n"
    "  call *%edx\n"
    "  movl 8(%ebp), %eax\n"
    "  cmpl $0, 16(%eax)\n"
    "  je 3f\n"
    "  movl 4(%eax), %ecx\n"
    "  leal (%esp,%ecx,4), %esp\n"
    "3:\n"
    "  movl %esp, 24(%eax)\n"
    "  movl %ebx, 28(%eax)\n"
    "  movl %esi, 32(%eax)\n"
    "  movl %edi, 36(%eax)\n"
    "  stmxcsr 44(%eax)\n"
    "  fnstenv 48(%eax)\n"
    "  fldenv 48(%eax)\n"
    "  cmpl $0, 40(%eax)\n"
    "  je 4f\n"
    "  fstpl 104(%eax)\n"
    "4:\n"
    "  fnstenv 76(%eax)\n"
    "  fldenv 76(%eax)\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

// Negative controls for the frame checks: a callee that leaves its arguments
// on the stack, and one that leaves a value on the x87 stack.
extern "C" __attribute__((noinline, cdecl)) void kwsig_probe_cdecl(int a, int b, int c) {
    __asm__ volatile("" : : "r"(a), "r"(b), "r"(c));
}
extern "C" __attribute__((noinline, stdcall)) void kwsig_probe_x87_leak(int a) {
    __asm__ volatile("fld1" : : "r"(a));
}

namespace {

int empty_x87_registers(const uint8_t *env) {
    uint16_t tag;
    std::memcpy(&tag, env + 8, 2);
    int empty = 0;
    for (int r = 0; r < 8; ++r) empty += ((tag >> (2 * r)) & 3) == 3;
    return empty;
}
uint16_t env_fcw(const uint8_t *env) {
    uint16_t cw;
    std::memcpy(&cw, env, 2);
    return cw;
}

// ---- one call of an export, described by its arguments -------------------------
enum class Kind { Floats, Doubles, Ints, Int, Sel, Float, Double };
enum Fill { Random, Zero, Ones, UnitComplex, Constant };
struct Arg {
    Kind kind;
    int n = 0;         // array length, or the value of an Int/Sel
    Fill fill = Random;
    double value = 0;  // Float/Double scalars
};
Arg floats(int n, Fill f = Random, double v = 0) { return {Kind::Floats, n, f, v}; }
Arg doubles(int n, Fill f = Random, double v = 0) { return {Kind::Doubles, n, f, v}; }
Arg ints(int n) { return {Kind::Ints, n, Zero, 0}; }
Arg integer(int v) { return {Kind::Int, v, Random, 0}; }
Arg sel(int v) { return {Kind::Sel, v, Random, 0}; }
Arg real32(double v) { return {Kind::Float, 0, Random, v}; }
Arg real64(double v) { return {Kind::Double, 0, Random, v}; }

struct Call;
using Typed = double (*)(FARPROC, Call &);

struct Call {
    const char *name;
    std::string label;
    std::vector<Arg> args;
    Typed typed;
    bool returns_double = false;
    std::vector<std::vector<unsigned char>> arrays;

    // Fresh arrays: inputs from a fixed seed of the golden cases' generator,
    // outputs from the same (an export that writes nothing leaves them as
    // they were).
    void reset() {
        golden::Rng rng(0x243F6A8885A308D3ull);
        arrays.assign(args.size(), {});
        for (std::size_t i = 0; i < args.size(); ++i) {
            const Arg &a = args[i];
            auto value = [&](int k) {
                switch (a.fill) {
                    case Zero: return 0.0;
                    case Ones: return 1.0;
                    case UnitComplex: return k % 2 == 0 ? 1.0 : 0.0;
                    case Constant: return a.value;
                    default: return rng.uniform(-1, 1);
                }
            };
            if (a.kind == Kind::Floats) {
                arrays[i].resize(4 * a.n);
                for (int k = 0; k < a.n; ++k) {
                    const float v = float(value(k));
                    std::memcpy(&arrays[i][4 * k], &v, 4);
                }
            } else if (a.kind == Kind::Doubles) {
                arrays[i].resize(8 * a.n);
                for (int k = 0; k < a.n; ++k) {
                    const double v = value(k);
                    std::memcpy(&arrays[i][8 * k], &v, 8);
                }
            } else if (a.kind == Kind::Ints) {
                arrays[i].assign(4 * a.n, 0);
            }
        }
    }
    float *F(int i) { return reinterpret_cast<float *>(arrays[i].data()); }
    double *D(int i) { return reinterpret_cast<double *>(arrays[i].data()); }
    int *I(int i) { return reinterpret_cast<int *>(arrays[i].data()); }
    int n(int i) const { return args[i].n; }
    short s(int i) const { return short(args[i].n); }
    float f(int i) const { return float(args[i].value); }
    double d(int i) const { return args[i].value; }

    // The argument slots as __stdcall pushes them, selectors with `high` in
    // their (ignored) upper half.
    std::vector<uint32_t> slots(uint16_t high) {
        std::vector<uint32_t> out;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const Arg &a = args[i];
            switch (a.kind) {
                case Kind::Floats:
                case Kind::Doubles:
                case Kind::Ints:
                    out.push_back(uint32_t(reinterpret_cast<uintptr_t>(arrays[i].data())));
                    break;
                case Kind::Int: out.push_back(uint32_t(a.n)); break;
                case Kind::Sel: out.push_back((uint32_t(high) << 16) | (uint32_t(a.n) & 0xFFFFu)); break;
                case Kind::Float: {
                    const float v = float(a.value);
                    uint32_t b;
                    std::memcpy(&b, &v, 4);
                    out.push_back(b);
                    break;
                }
                case Kind::Double: {
                    uint32_t b[2];
                    std::memcpy(b, &a.value, 8);
                    out.push_back(b[0]);
                    out.push_back(b[1]);
                    break;
                }
            }
        }
        return out;
    }
    std::vector<unsigned char> contents() const {
        std::vector<unsigned char> all;
        for (const auto &a : arrays) all.insert(all.end(), a.begin(), a.end());
        return all;
    }
};

template <typename F>
F as(FARPROC p) {
    return reinterpret_cast<F>(reinterpret_cast<void *>(p));
}

std::vector<Call> calls() {
    std::vector<Call> out;
    auto add = [&out](const char *name, std::string label, std::vector<Arg> args, Typed typed,
                      bool returns_double = false) {
        out.push_back(Call{name, std::string(name) + label, std::move(args), typed, returns_double, {}});
    };
    add("kwsig_fft", "", {floats(128), integer(64), integer(1)}, [](FARPROC p, Call &c) {
        as<decltype(&kwsig_fft)>(p)(c.F(0), unsigned(c.n(1)), c.n(2));
        return 0.0;
    });
    add("kwsig_fft_double", "", {doubles(128), integer(64), integer(-1)}, [](FARPROC p, Call &c) {
        as<decltype(&kwsig_fft_double)>(p)(c.D(0), unsigned(c.n(1)), c.n(2));
        return 0.0;
    });
    add("kwsig_fft_real", "", {floats(64), integer(64), integer(1)}, [](FARPROC p, Call &c) {
        as<decltype(&kwsig_fft_real)>(p)(c.F(0), unsigned(c.n(1)), c.n(2));
        return 0.0;
    });
    add("kwsig_fft_real_double", "", {doubles(64), integer(64), integer(-1)}, [](FARPROC p, Call &c) {
        as<decltype(&kwsig_fft_real_double)>(p)(c.D(0), unsigned(c.n(1)), c.n(2));
        return 0.0;
    });
    for (int type : {0, 1, 2, 3, -1}) {
        for (int norm : {0, 1}) {
            const std::string label = " type=" + std::to_string(type) + " norm=" + std::to_string(norm);
            add("kwsig_window", label, {floats(64), integer(64), sel(type), sel(norm), real32(0.75)},
                [](FARPROC p, Call &c) {
                    as<decltype(&kwsig_window)>(p)(c.F(0), c.n(1), c.s(2), c.s(3), c.f(4));
                    return 0.0;
                });
            add("kwsig_window_double", label, {doubles(64), integer(64), sel(type), sel(norm), real64(-1.25)},
                [](FARPROC p, Call &c) {
                    as<decltype(&kwsig_window_double)>(p)(c.D(0), c.n(1), c.s(2), c.s(3), c.d(4));
                    return 0.0;
                });
        }
    }
    for (int mode : {0, 1, 2, -1}) {
        const std::string label = " mode=" + std::to_string(mode);
        add("kwsig_spectrum", label, {floats(64), floats(33), floats(64), integer(64), sel(mode)},
            [](FARPROC p, Call &c) {
                as<decltype(&kwsig_spectrum)>(p)(c.F(0), c.F(1), c.F(2), c.n(3), c.s(4));
                return 0.0;
            });
        add("kwsig_spectrum_double", label, {doubles(64), doubles(33), doubles(64), integer(64), sel(mode)},
            [](FARPROC p, Call &c) {
                as<decltype(&kwsig_spectrum_double)>(p)(c.D(0), c.D(1), c.D(2), c.n(3), c.s(4));
                return 0.0;
            });
        add("kwsig_cspectrum", label, {floats(128), floats(64), floats(64), integer(64), sel(mode)},
            [](FARPROC p, Call &c) {
                as<decltype(&kwsig_cspectrum)>(p)(c.F(0), c.F(1), c.F(2), c.n(3), c.s(4));
                return 0.0;
            });
        add("kwsig_cspectrum_double", label,
            {doubles(128), doubles(64), doubles(64), integer(64), sel(mode)}, [](FARPROC p, Call &c) {
                as<decltype(&kwsig_cspectrum_double)>(p)(c.D(0), c.D(1), c.D(2), c.n(3), c.s(4));
                return 0.0;
            });
    }
    // Phase -5.5 before a step of 0.75: 40 inputs give at most 66 outputs.
    add("kwsig_resample", "",
        {floats(40), integer(40), floats(70, Zero), integer(70), ints(1), floats(1, Constant, -5.5), real32(0.75),
         floats(11)},
        [](FARPROC p, Call &c) {
            as<decltype(&kwsig_resample)>(p)(c.F(0), c.n(1), c.F(2), c.n(3), c.I(4), c.F(5), c.f(6), c.F(7));
            return 0.0;
        });
    add("kwsig_resample_double", "",
        {doubles(40), integer(40), doubles(70, Zero), integer(70), ints(1), doubles(1, Constant, -5.5), real64(0.75),
         doubles(11)},
        [](FARPROC p, Call &c) {
            as<decltype(&kwsig_resample_double)>(p)(c.D(0), c.n(1), c.D(2), c.n(3), c.I(4), c.D(5), c.d(6),
                                                    c.D(7));
            return 0.0;
        });
    add("kwsig_resamp_resp", "", {doubles(33, Zero), integer(33), real64(0.0), real64(0.5)},
        [](FARPROC p, Call &c) {
            as<decltype(&kwsig_resamp_resp)>(p)(c.D(0), c.n(1), c.d(2), c.d(3));
            return 0.0;
        });
    add("kwsig_fir", "", {floats(20), floats(20, Zero), integer(20), floats(7), integer(7), floats(7)},
        [](FARPROC p, Call &c) {
            as<decltype(&kwsig_fir)>(p)(c.F(0), c.F(1), c.n(2), c.F(3), c.n(4), c.F(5));
            return 0.0;
        });
    add("kwsig_fir_double", "", {doubles(20), doubles(20, Zero), integer(20), doubles(7), integer(7), doubles(7)},
        [](FARPROC p, Call &c) {
            as<decltype(&kwsig_fir_double)>(p)(c.D(0), c.D(1), c.n(2), c.D(3), c.n(4), c.D(5));
            return 0.0;
        });
    add("kwsig_fir_resp", "", {doubles(66, Zero), integer(33), real64(0.0), real64(0.5), doubles(9), integer(9)},
        [](FARPROC p, Call &c) {
            as<decltype(&kwsig_fir_resp)>(p)(c.D(0), c.n(1), c.d(2), c.d(3), c.D(4), c.n(5));
            return 0.0;
        });
    add("kwsig_fir_synth", "",
        {doubles(34, UnitComplex), doubles(17, Ones), integer(16), real64(3.5), doubles(8, Zero), integer(8)},
        [](FARPROC p, Call &c) {
            return as<decltype(&kwsig_fir_synth)>(p)(c.D(0), c.D(1), c.n(2), c.d(3), c.D(4), c.n(5));
        },
        true);
    return out;
}

const Export *find_export(const char *name) {
    for (const auto &e : kExports)
        if (std::strcmp(e.name, name) == 0) return &e;
    return nullptr;
}

// ---- checks ----------------------------------------------------------------------
HMODULE load_with_dirty_fpu(const char *path) {
    set_fcw(0x037F);  // 64-bit precision, all exceptions masked
    __asm__ volatile("fld1\n\tfldz\n\tfdivrp %%st, %%st(1)\n\tfstp %%st(0)" : : : "st");  // 1/0 sets ZE
    set_mxcsr(get_mxcsr() | kMxcsrFlags);
    HMODULE m = LoadLibraryA(path);
    const uint16_t cw = get_fcw(), sw = get_fsw();
    const uint32_t csr = get_mxcsr();
    if (!check(m != nullptr, std::string("LoadLibrary ") + path)) return nullptr;
    check(cw == 0x027F, "load sets x87 precision control to 53 bits, keeps rounding and masks (cw " +
                            hex(cw) + ")");
    check((sw & 0xBF) == 0, "load clears the pending x87 exception flags (sw " + hex(sw) + ")");
    check((csr & kMxcsrFlags) == 0 && (csr & ~kMxcsrFlags) == 0x1F80,
          "load clears the MXCSR exception flags and keeps its controls (mxcsr " + hex(csr) + ")");
    return m;
}

const IMAGE_NT_HEADERS32 *nt_headers(HMODULE m) {
    auto base = reinterpret_cast<const unsigned char *>(m);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS32 *>(base + dos->e_lfanew);
}

bool in_code(HMODULE m, uint32_t rva) {
    const IMAGE_NT_HEADERS32 *nt = nt_headers(m);
    const IMAGE_SECTION_HEADER *sec = IMAGE_FIRST_SECTION(nt);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++sec)
        if (rva >= sec->VirtualAddress && rva < sec->VirtualAddress + sec->Misc.VirtualSize)
            return (sec->Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
    return false;
}

void check_export_table(HMODULE m) {
    auto base = reinterpret_cast<const unsigned char *>(m);
    const IMAGE_NT_HEADERS32 *nt = nt_headers(m);
    check(nt->FileHeader.Machine == IMAGE_FILE_MACHINE_I386, "image is 32-bit x86");
    check(nt->FileHeader.TimeDateStamp == 0, "no link timestamp in the file header (reproducible bytes)");
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + dir.VirtualAddress);
    check(std::strcmp(reinterpret_cast<const char *>(base + exp->Name), "kwsig_32.dll") == 0,
          "export directory names kwsig_32.dll");
    const DWORD n = kExportCount;
    check(exp->Base == 1 && exp->NumberOfFunctions == n && exp->NumberOfNames == n,
          std::to_string(n) + " exports, all by name, ordinal base 1 (base " + std::to_string(exp->Base) + ", " +
              std::to_string(exp->NumberOfFunctions) + " functions, " + std::to_string(exp->NumberOfNames) +
              " names)");
    if (exp->NumberOfNames != n || exp->NumberOfFunctions != n) return;
    auto names = reinterpret_cast<const uint32_t *>(base + exp->AddressOfNames);
    auto ordinals = reinterpret_cast<const uint16_t *>(base + exp->AddressOfNameOrdinals);
    auto functions = reinterpret_cast<const uint32_t *>(base + exp->AddressOfFunctions);
    std::string wrong;
    for (int i = 0; i < kExportCount; ++i) {
        const char *name = reinterpret_cast<const char *>(base + names[i]);
        const int ordinal = int(exp->Base) + ordinals[i];
        if (std::strcmp(name, kExports[i].name) != 0 || ordinal != kExports[i].ordinal)
            wrong += std::string(" ") + name + "@ord" + std::to_string(ordinal);
    }
    check(wrong.empty(), "names undecorated, ordinals 1.." + std::to_string(n) + " in alphabetical order" + wrong);
    std::string data;
    for (int i = 0; i < kExportCount; ++i) {
        const uint32_t rva = functions[i];
        const bool forwarder = rva >= dir.VirtualAddress && rva < dir.VirtualAddress + dir.Size;
        if (forwarder || !in_code(m, rva)) data += " ordinal " + std::to_string(i + 1);
    }
    check(data.empty(), "every export is code (no data exports, no forwarders)" + data);
}

void check_resolution(HMODULE m) {
    for (const auto &e : kExports) {
        FARPROC by_name = GetProcAddress(m, e.name);
        FARPROC by_ordinal = GetProcAddress(m, MAKEINTRESOURCEA(e.ordinal));
        const std::string decorated = std::string(e.name) + "@" + std::to_string(e.bytes);
        const bool no_decorated = !GetProcAddress(m, decorated.c_str()) &&
                                  !GetProcAddress(m, ("_" + decorated).c_str()) &&
                                  !GetProcAddress(m, ("_" + std::string(e.name)).c_str());
        check(by_name && by_name == by_ordinal && no_decorated,
              std::string(e.name) + " resolves by name and by ordinal " + std::to_string(e.ordinal) +
                  " to the same address; no decorated alias");
    }
}

void check_imports(HMODULE m) {
    static const char *const allowed[] = {"kernel32.dll", "msvcrt.dll", "ntdll.dll"};
    auto base = reinterpret_cast<const unsigned char *>(m);
    const IMAGE_NT_HEADERS32 *nt = nt_headers(m);
    std::string seen, foreign, maths;
    for (int which : {IMAGE_DIRECTORY_ENTRY_IMPORT, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT}) {
        const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[which];
        if (dir.VirtualAddress == 0 || dir.Size == 0) continue;
        if (which == IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT) {
            foreign += " (delay imports)";
            continue;
        }
        for (auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress); d->Name;
             ++d) {
            std::string name = reinterpret_cast<const char *>(base + d->Name);
            for (auto &ch : name) ch = char(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
            seen += " " + name;
            bool ok = false;
            for (const char *a : allowed) ok |= name == a;
            if (!ok) foreign += " " + name;
            // Functions imported by name: none may be a sine, cosine or
            // logarithm (the library computes its own, correctly rounded).
            auto thunk = reinterpret_cast<const IMAGE_THUNK_DATA32 *>(
                base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
            for (; thunk->u1.AddressOfData; ++thunk) {
                if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) continue;
                const std::string fn = reinterpret_cast<const char *>(
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + thunk->u1.AddressOfData)->Name);
                for (const char *m : {"sin", "cos", "log", "sinf", "cosf", "logf", "sinl", "cosl", "logl",
                                      "log10", "sincos"})
                    if (fn == m) maths += " " + name + "!" + fn;
            }
        }
    }
    check(foreign.empty(), "imports only system DLLs:" + seen + (foreign.empty() ? "" : "; foreign:" + foreign));
    check(maths.empty(), "imports no sine, cosine or logarithm" + (maths.empty() ? "" : ":" + maths));
}

void check_version(HMODULE m) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(m, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    std::vector<unsigned char> info(size ? size : 1);
    if (!check(size && GetFileVersionInfoW(path, 0, size, info.data()), "version record present")) return;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    const DWORD ms = (KWSIG_VERSION_MAJOR << 16) | KWSIG_VERSION_MINOR;
    const DWORD ls = (KWSIG_VERSION_PATCH << 16) | KWSIG_VERSION_BUILD;
    check(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &len) && fixed &&
              fixed->dwFileVersionMS == ms && fixed->dwFileVersionLS == ls && fixed->dwProductVersionMS == ms &&
              fixed->dwProductVersionLS == ls && fixed->dwFileType == VFT_DLL,
          "file and product version " KWSIG_VERSION_STRING ", type DLL");
    struct {
        WORD language, codepage;
    } *translation = nullptr;
    check(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                         &len) &&
              len >= 4 && translation->language == 0x0409 && translation->codepage == 1200,
          "version record in U.S. English, Unicode");
    const wchar_t *const keys[][2] = {{L"FileVersion", L"0, 0, 0, 3"},
                                      {L"InternalName", L"kwsig_32"},
                                      {L"OriginalFilename", L"kwsig_32.dll"},
                                      {L"FileDescription", L"kwsig_32.dll"}};
    for (const auto &kv : keys) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + kv[0];
        wchar_t *value = nullptr;
        const bool ok = VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void **>(&value), &len) &&
                        value && std::wcscmp(value, kv[1]) == 0;
        char key[64];
        std::snprintf(key, sizeof key, "%ls", kv[0]);
        char want[64];
        std::snprintf(want, sizeof want, "%ls", kv[1]);
        check(ok, std::string("version string ") + key + " = \"" + want + "\"");
    }
}

struct Outcome {
    std::string problems;
    std::vector<unsigned char> contents;
    double st0 = 0;
};

Outcome thunk(Call &c, FARPROC fn, uint32_t entry_mod16, uint16_t high, bool caller_pops) {
    c.reset();
    const std::vector<uint32_t> slots = c.slots(high);
    ThunkFrame f{};
    f.fn = uint32_t(reinterpret_cast<uintptr_t>(fn));
    f.nslots = uint32_t(slots.size());
    f.slots = slots.data();
    f.entry_mod16 = entry_mod16;
    f.caller_pops = caller_pops;
    f.pop_st0 = c.returns_double;
    const uint16_t cw = get_fcw();
    const uint32_t csr = get_mxcsr();
    kwsig_thunk_call(&f);
    Outcome o;
    const int32_t delta = int32_t(f.esp_after - f.esp_before);
    if (delta != 0) o.problems += " stack off by " + std::to_string(delta) + " bytes;";
    if (f.ebx != kEbx || f.esi != kEsi || f.edi != kEdi) o.problems += " callee-saved register changed;";
    if (env_fcw(f.env) != cw) o.problems += " x87 control word " + hex(cw) + " -> " + hex(env_fcw(f.env)) + ";";
    if ((f.mxcsr & ~kMxcsrFlags) != (csr & ~kMxcsrFlags))
        o.problems += " MXCSR " + hex(csr) + " -> " + hex(f.mxcsr) + ";";
    const int want_empty = c.returns_double ? 7 : 8;
    if (empty_x87_registers(f.env) != want_empty)
        o.problems += " x87 stack holds " + std::to_string(8 - empty_x87_registers(f.env)) + " values;";
    if (empty_x87_registers(f.env_popped) != 8) o.problems += " x87 stack not empty after the result;";
    o.contents = c.contents();
    o.st0 = f.st0;
    return o;
}

void check_calls(HMODULE m) {
    auto list = calls();
    static const uint16_t highs[4] = {0x0000, 0xFFFF, 0x0001, 0xDEAD};
    for (auto &c : list) {
        const Export *e = find_export(c.name);
        FARPROC fn = GetProcAddress(m, c.name);
        if (!check(e && fn, c.label + ": resolved")) continue;
        c.reset();
        if (!check(c.slots(0).size() * 4 == std::size_t(e->bytes),
                   c.label + ": argument list is " + std::to_string(e->bytes) + " bytes"))
            continue;
        // The reference: the call a C caller compiles from the __stdcall prototype.
        c.reset();
        const double r = c.typed(fn, c);
        const std::vector<unsigned char> want = c.contents();
        std::string problems;
        for (uint32_t mod = 0; mod < 16; mod += 4) {
            const uint16_t high = highs[mod / 4];
            Outcome o = thunk(c, fn, mod, high, false);
            if (o.contents != want) o.problems += " outputs differ from the prototype call;";
            if (c.returns_double && std::memcmp(&o.st0, &r, 8) != 0) o.problems += " ST0 result differs;";
            if (!o.problems.empty())
                problems += " [esp%16=" + std::to_string(mod) + " high=" + hex(high) + ":" + o.problems + "]";
        }
        check(problems.empty(), c.label + ": pops " + std::to_string(e->bytes) +
                                    " bytes, registers, x87 stack/control and MXCSR intact, same bits at " +
                                    "stack alignment 4/8/12/16 with garbage in selector high halves" + problems);
        if (std::strcmp(c.name, "kwsig_fir_synth") == 0)
            check(r == 0.0 && !std::signbit(r), c.label + ": returns exactly 0.0 in ST0 after a successful design");
    }
    // The same calls under a non-default x87 control word (64-bit precision):
    // the exports must still leave it as they found it.
    const uint16_t saved = get_fcw();
    set_fcw(0x037F);
    std::string changed;
    for (auto &c : list) {
        FARPROC fn = GetProcAddress(m, c.name);
        if (!fn) continue;
        Outcome o = thunk(c, fn, 4, 0, false);
        if (!o.problems.empty()) changed += " " + c.label + ":" + o.problems;
    }
    set_fcw(saved);
    check(changed.empty(), "exports keep a 64-bit-precision x87 control word as they find it" + changed);
}

// The frame checks themselves must be able to fail.
void check_negative_controls(HMODULE m) {
    std::vector<Call> list = calls();
    Call &fft = list[0];
    FARPROC fn = GetProcAddress(m, "kwsig_fft");
    if (!check(fn != nullptr, "kwsig_fft resolves for the negative controls")) return;
    Outcome cdecl_caller = thunk(fft, fn, 4, 0, true);
    check(cdecl_caller.problems.find("stack off by 12") != std::string::npos,
          "negative control: a caller using a cdecl prototype for kwsig_fft is detected (" +
              cdecl_caller.problems + " )");
    Call probe{"probe", "probe", {integer(1), integer(2), integer(3)}, nullptr, false, {}};
    Outcome cdecl_callee = thunk(probe, reinterpret_cast<FARPROC>(reinterpret_cast<void *>(&kwsig_probe_cdecl)), 4, 0, false);
    check(cdecl_callee.problems.find("stack off by -12") != std::string::npos,
          "negative control: a cdecl callee is detected (" + cdecl_callee.problems + " )");
    Call leak{"leak", "leak", {integer(1)}, nullptr, false, {}};
    Outcome x87 = thunk(leak, reinterpret_cast<FARPROC>(reinterpret_cast<void *>(&kwsig_probe_x87_leak)), 4, 0, false);
    __asm__ volatile("fstp %%st(0)" : : : "st");
    check(x87.problems.find("x87 stack holds 1") != std::string::npos,
          "negative control: a value left on the x87 stack is detected (" + x87.problems + " )");
}

DWORD WINAPI thread_body(void *arg) {
    auto m = static_cast<HMODULE>(arg);
    std::vector<Call> list = calls();
    FARPROC fn = GetProcAddress(m, list[0].name);
    if (!fn) return 1;
    list[0].reset();
    list[0].typed(fn, list[0]);
    return 7;
}

void check_threads_and_reload(HMODULE m, const char *path) {
    HANDLE t = CreateThread(nullptr, 0, thread_body, m, 0, nullptr);
    DWORD code = 0;
    const bool ok = t && WaitForSingleObject(t, 10000) == WAIT_OBJECT_0 && GetExitCodeThread(t, &code) && code == 7;
    if (t) CloseHandle(t);
    check(ok, "a thread started and ended while the DLL is loaded calls an export");
    check(FreeLibrary(m) != 0, "FreeLibrary");
    HMODULE again = LoadLibraryA(path);
    check(again != nullptr, "the DLL loads again after unloading");
    if (again) FreeLibrary(again);
}

}  // namespace

int main(int argc, char **argv) {
    kwsig_test::install_crash_guard();
    const char *path = argc > 1 ? argv[1] : "kwsig_32.dll";
    HMODULE m = load_with_dirty_fpu(path);
    if (m) {
        check_export_table(m);
        check_resolution(m);
        check_imports(m);
        check_version(m);
        check_calls(m);
        check_negative_controls(m);
        check_threads_and_reload(m, path);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
