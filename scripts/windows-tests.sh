#!/usr/bin/env bash
# Builds kwsig_32.dll with mingw-w64 (i686), runs its checks under wine and
# compares every golden case, plus each case drawn from further seeds, bit for
# bit with the native build: the two must be identical in every case. Ends
# with "N passed, N failed"; exit 1 on failure, 77 when wine cannot run here
# and only the build and the DLL's tables were checked.
#
#   scripts/windows-tests.sh [build-root]          (default: build-windows)
#
# Environment:
#   KWSIG_REPLAY_SEEDS       further seeds per golden case (default 3)
#   KWSIG_CROSS_CMAKE_ARGS   extra arguments for the cross configure
#   KWSIG_NATIVE_CMAKE_ARGS  extra arguments for the native configure
# Needs: cmake, g++, GoogleTest, g++-mingw-w64-i686-win32, wine, wine32:i386.
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$src/build-windows}
seeds=${KWSIG_REPLAY_SEEDS:-3}
mkdir -p "$out"
out=$(cd "$out" && pwd)
native=$out/native
cross=$out/win32  # wine runs here; the logs are ../log from it
log=$out/log
mkdir -p "$log"

passed=0
failed=0
pass() { echo "PASS $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
finish() {
    # wine's server outlives the programs and keeps writing into the prefix;
    # stop it so that the build tree can be removed as soon as this ends.
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; fi
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit $?
}
step() { # step LOGNAME DESCRIPTION COMMAND...: runs a build step, fails the run if it fails
    local name=$1 what=$2
    shift 2
    if "$@" >"$log/$name.txt" 2>&1; then
        pass "$what"
    else
        fail "$what (see $log/$name.txt)"
        tail -n 30 "$log/$name.txt"
        finish
    fi
}

# ---- builds --------------------------------------------------------------------
# shellcheck disable=SC2086
step native-configure "native configure" \
    cmake -S "$src" -B "$native" -DCMAKE_BUILD_TYPE=Release ${KWSIG_NATIVE_CMAKE_ARGS:-}
step native-build "native build of the golden replay" \
    cmake --build "$native" -j2 --target kwsig_golden_replay
# shellcheck disable=SC2086
# The same preset as the README's DLL recipe, in this run's own folder.
step cross-configure "cross configure (preset mingw-i686)" \
    cmake -S "$src" --preset mingw-i686 -B "$cross" ${KWSIG_CROSS_CMAKE_ARGS:-}
step cross-build "cross build of kwsig_32.dll and its test programs" cmake --build "$cross" -j2

# ---- the DLL's tables, read without running it -------------------------------------
dll=$cross/kwsig_32.dll
objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$cross/CMakeCache.txt")
"$objdump" -p "$dll" >"$log/dll-headers.txt"
# Ordinal and name of each export, as the module-definition file lists them.
sed -n 's/^ *\(kwsig_[a-z_]*\)@[0-9]* @\([0-9]*\) *$/\2 \1/p' "$src/src/frame/kwsig_32.def" >"$log/exports-want.txt"
sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' \
    "$log/dll-headers.txt" | awk '{print $1 + 1, $2}' >"$log/exports-got.txt"
if [ -s "$log/exports-want.txt" ] && cmp -s "$log/exports-want.txt" "$log/exports-got.txt"; then
    pass "kwsig_32.dll exports the $(wc -l <"$log/exports-want.txt") names of kwsig_32.def at their ordinals"
else
    fail "kwsig_32.dll export table differs from kwsig_32.def (see $log/exports-*.txt)"
fi
imports=$(sed -n 's/^\s*DLL Name: //p' "$log/dll-headers.txt" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
if [ "$imports" = "kernel32.dll msvcrt.dll " ]; then
    pass "kwsig_32.dll imports only kernel32.dll and msvcrt.dll"
else
    fail "kwsig_32.dll imports: $imports"
fi
if "$objdump" -d "$dll" | grep -qE 'vfn?m(add|sub)'; then
    fail "kwsig_32.dll contains fused multiply-add instructions"
else
    pass "kwsig_32.dll has no fused multiply-add"
fi

# No sine, cosine or logarithm from the C runtime, and no x87 instruction for
# one: the library computes them itself, the same way as every other build.
if sed -n '/DLL Name:/,/^$/p' "$log/dll-headers.txt" |
    grep -qE '^\s+[0-9a-f]+\s+[0-9]+\s+(sin|cos|log|sinf|cosf|logf|sinl|cosl|logl|log10|sincos)$'; then
    fail "kwsig_32.dll imports a sine, cosine or logarithm (see $log/dll-headers.txt)"
else
    pass "kwsig_32.dll imports no sine, cosine or logarithm"
fi
if "$objdump" -d "$dll" | grep -qE '\s(fsin|fcos|fsincos|fptan|fpatan|fyl2x|fyl2xp1|f2xm1|fldln2|fldlg2)\b'; then
    fail "kwsig_32.dll contains x87 transcendental instructions"
else
    pass "kwsig_32.dll has no x87 sine, cosine or logarithm instruction"
fi

# wine runs the DLL's 32-bit code natively; a kernel without 32-bit support
# (some virtual machines) cannot, and then nothing more can be checked here.
if ! wine --version >/dev/null 2>&1; then
    echo "SKIP wine is missing or cannot run 32-bit x86 programs here (wine --version fails):"
    echo "     the DLL is built and its tables checked; its run-time checks did not run"
    echo "$passed passed, $failed failed, run-time checks skipped"
    [ "$failed" -eq 0 ] && exit 77
    exit 1
fi

# ---- wine: throw-away prefix, no display, no debugger on a crash -----------------
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    step wineboot "wine prefix created" wineboot -i
    wineserver -w 2>/dev/null || true
fi
run_wine() { # run_wine PROGRAM ARGS...: output with plain line ends
    (cd "$cross" && timeout 300 wine "$@" 2>>"$log/wine-stderr.txt") | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# ---- the DLL as Windows callers see it --------------------------------------------
checks=$log/dll-checks.txt
run_wine kwsig_dll_checks.exe kwsig_32.dll >"$checks"
rc=$?
grep -E '^(PASS|FAIL) ' "$checks"
p=$(grep -c '^PASS ' "$checks")
f=$(grep -c '^FAIL ' "$checks")
passed=$((passed + p))
failed=$((failed + f))
if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then fail "kwsig_dll_checks.exe ended with exit code $rc"; fi
if ! grep -q '^[0-9]* passed, [0-9]* failed$' "$checks"; then fail "kwsig_dll_checks.exe did not finish"; fi

# ---- the example programs, linked with the import library ------------------------
for exe in "$cross"/examples/*.exe; do
    [ -e "$exe" ] || continue
    name=examples/$(basename "$exe")
    if WINEPATH=$cross run_wine "$name" >"$log/$(basename "$exe" .exe).txt"; then
        pass "$name runs against kwsig_32.dll through the import library"
    else
        fail "$name (see $log/$(basename "$exe" .exe).txt)"
    fi
done

# ---- golden cases and further seeds: Windows against native, bit for bit -----------
if "$native/tests/windows/kwsig_golden_replay" verify >"$log/native-verify.txt" 2>&1; then
    pass "native build matches the golden cases ($(tail -n 1 "$log/native-verify.txt"))"
else
    fail "native build does not match the golden cases (see $log/native-verify.txt)"
fi
"$native/tests/windows/kwsig_golden_replay" hashes --seeds "$seeds" >"$log/hashes-native.txt"
run_wine kwsig_golden_replay.exe hashes --seeds "$seeds" >"$log/hashes-win32.txt"
rc=$?
if grep '^FAIL' "$log/hashes-win32.txt"; then failed=$((failed + 1)); fi
[ "$rc" -eq 0 ] || fail "kwsig_golden_replay.exe hashes ended with exit code $rc"

# One line per case: same hash, different hash, or missing on one side.
join -a 1 -a 2 -e MISSING -o 0,1.2,2.2 <(grep -v '^FAIL' "$log/hashes-native.txt" | sort) \
    <(grep -v '^FAIL' "$log/hashes-win32.txt" | sort) >"$log/hashes-joined.txt"
same=$(awk '$2 == $3' "$log/hashes-joined.txt" | wc -l)
[ -s "$log/hashes-joined.txt" ] || fail "golden replay produced no cases"
awk '$2 != $3 {print $1}' "$log/hashes-joined.txt" >"$log/differing-ids.txt"
awk '$2 != $3' "$log/hashes-joined.txt" | while read -r id a b; do
    echo "FAIL golden replay $id: native $a, win32 $b"
done
ndiff=$(wc -l <"$log/differing-ids.txt")
failed=$((failed + ndiff))
passed=$((passed + same))
echo "golden replay: $same of $(wc -l <"$log/hashes-joined.txt") cases bit-identical ($seeds further seeds per case)"

# Any difference is a defect; show which values differ and by how much.
if [ "$ndiff" -gt 0 ]; then
    # (wine runs in $cross, the logs are its sibling directory)
    run_wine kwsig_golden_replay.exe dump ../log/differing-ids.txt ../log/values-win32.bin \
        --seeds "$seeds" >"$log/dump.txt"
    "$native/tests/windows/kwsig_golden_replay" compare "$log/differing-ids.txt" "$log/values-win32.bin" \
        --seeds "$seeds" >"$log/compare.txt" 2>"$log/ulp-details.txt"
    cat "$log/compare.txt"
fi
finish
