#!/usr/bin/env bash
# Real-time factor of `kwsig resample` and of sox's default-quality `rate`
# on the same 10-minute stereo 44.1 kHz 16-bit WAV, run alternately in one
# session (best of three each). Usage: bench/tool_vs_sox.sh [path/to/kwsig]
set -euo pipefail
kwsig=${1:-build/tools/kwsig}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 2 -b 16 "$tmp/in.wav" synth 600 pinknoise synth 600 sine mix 1000 gain -6
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc; }
best() { local b=999 t; for _ in 1 2 3; do t=$(seconds "$@"); b=$(echo "if ($t < $b) $t else $b" | bc); done; echo "$b"; }
printf '%-22s %12s %12s %12s %12s\n' conversion "kwsig s" "kwsig x RT" "sox s" "sox x RT"
for rate in 48000 22050 16000; do
    k=$(best "$kwsig" resample "$tmp/in.wav" "$tmp/k.wav" --rate "$rate")
    s=$(best sox "$tmp/in.wav" -r "$rate" "$tmp/s.wav" rate)
    printf '%-22s %12.2f %12.0f %12.2f %12.0f\n' "44100 -> $rate Hz" "$k" "$(echo "600 / $k" | bc -l)" \
        "$s" "$(echo "600 / $s" | bc -l)"
done
