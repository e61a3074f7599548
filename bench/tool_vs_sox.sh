#!/usr/bin/env bash
# `kwsig resample` (one thread, and all cores: one per channel) against sox's
# default-quality `rate` on the same 10-minute stereo 44.1 kHz 16-bit WAV
# (pink noise and a 1 kHz tone), run alternately in one session. Prints the
# best of three of the wall-clock time and of the processor time (user +
# system, the steadier figure on a shared machine) with the real-time factor
# 600 s / time. Usage: bench/tool_vs_sox.sh [path/to/kwsig]
set -euo pipefail
kwsig=${1:-build/tools/kwsig}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 2 -b 16 "$tmp/in.wav" synth 600 pinknoise synth 600 sine mix 1000 gain -6

# best COMMAND...: "wall cpu", each the least of three runs.
best() {
    local wall=999 cpu=999 w c
    for _ in 1 2 3; do
        read -r w c < <( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 |
                         awk '{ print $1, $2 + $3 }')
        wall=$(echo "if ($w < $wall) $w else $wall" | bc)
        cpu=$(echo "if ($c < $cpu) $c else $cpu" | bc)
    done
    echo "$wall $cpu"
}
cell() { printf ' %6.2f s %4.0fx' "$1" "$(echo "600 / $1" | bc -l)"; }

echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-15s | %-31s | %-31s | %-15s\n' "" "kwsig -j 1: wall, processor" "sox rate: wall, processor" "kwsig: wall"
for rate in 48000 22050 16000; do
    read -r k1w k1c < <(best "$kwsig" resample -j 1 "$tmp/in.wav" "$tmp/k.wav" --rate "$rate")
    read -r sw sc < <(best sox "$tmp/in.wav" -r "$rate" "$tmp/s.wav" rate)
    read -r kw _ < <(best "$kwsig" resample "$tmp/in.wav" "$tmp/k.wav" --rate "$rate")
    printf '%-15s |' "44100 -> $rate"
    cell "$k1w"; cell "$k1c"; printf ' |'; cell "$sw"; cell "$sc"; printf ' |'; cell "$kw"; echo
done
