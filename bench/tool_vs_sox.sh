#!/usr/bin/env bash
# Real-time factor of `kwsig resample` (one thread, and all cores: one per
# channel) and of sox's default-quality `rate` on the same 10-minute stereo
# 44.1 kHz 16-bit WAV (pink noise and a 1 kHz tone), run alternately in one
# session, best of three each. Usage: bench/tool_vs_sox.sh [path/to/kwsig]
set -euo pipefail
kwsig=${1:-build/tools/kwsig}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 2 -b 16 "$tmp/in.wav" synth 600 pinknoise synth 600 sine mix 1000 gain -6
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc; }
best() {
    local b=999 t
    for _ in 1 2 3; do t=$(seconds "$@"); b=$(echo "if ($t < $b) $t else $b" | bc); done
    echo "$b"
}
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); seconds and real-time factor (600 s / time)"
printf '%-18s %16s %16s %16s\n' conversion "kwsig -j 1" "kwsig" "sox rate"
for rate in 48000 22050 16000; do
    k1=$(best "$kwsig" resample -j 1 "$tmp/in.wav" "$tmp/k.wav" --rate "$rate")
    k=$(best "$kwsig" resample "$tmp/in.wav" "$tmp/k.wav" --rate "$rate")
    s=$(best sox "$tmp/in.wav" -r "$rate" "$tmp/s.wav" rate)
    printf '%-18s' "44100 -> $rate"
    for t in "$k1" "$k" "$s"; do printf ' %7.2f s %5.0fx' "$t" "$(echo "600 / $t" | bc -l)"; done
    echo
done
