#!/usr/bin/env bash
# Regenerates the three cue sounds: a rising two-tone for an on-time sign-in, a single
# lower tone for a late one, and a short low buzz for a refused swipe.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/resources/sound
mkdir -p "$out"
common=(-r 16000 -b 16 -c 1)
sox -n "${common[@]}" "$out/3.wav" synth 0.09 sine 880 : synth 0.12 sine 1320 fade 0 0 0.04 vol 0.5
sox -n "${common[@]}" "$out/0.wav" synth 0.18 sine 660 fade 0.01 0.18 0.05 vol 0.5
sox -n "${common[@]}" "$out/4.wav" synth 0.22 square 220 fade 0 0.22 0.04 vol 0.3
