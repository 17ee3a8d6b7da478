#!/usr/bin/env bash
# Makes the game's sounds into resources/sounds/: the 12 game sounds as sox
# effects and the 20 chatter sounds ("wave1" to "wave20", in the order of the
# chatter-sound menu) as espeak-ng speech or sox effects. Every file is a
# short mono 11025 Hz 16-bit WAV. Needs espeak-ng and sox; the build does not.
set -euo pipefail
cd "$(dirname "$0")/.."
out=resources/sounds
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fmt=(-r 11025 -c 1 -b 16 -e signed-integer)

# effect NAME SOX-SYNTH-AND-EFFECT-ARGS...
effect() {
  local name=$1; shift
  sox -n "${fmt[@]}" "$out/$name.wav" "$@"
}

# speak NAME TEXT [ESPEAK-ARGS...] [-- SOX-EFFECTS...]
speak() {
  local name=$1 text=$2; shift 2
  local espeak_args=() sox_effects=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do espeak_args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  sox_effects=("$@")
  espeak-ng "${espeak_args[@]}" -w "$tmp/raw.wav" "$text"
  sox "$tmp/raw.wav" "${fmt[@]}" "$out/$name.wav" silence 1 0.01 1% reverse silence 1 0.01 1% reverse \
      norm -3 "${sox_effects[@]}"
}

# Game sounds.
effect buy      synth 0.09 square 880 : synth 0.09 square 1320 : synth 0.14 square 1760 vol 0.3 fade 0 0 0.04
effect clear    synth 0.25 sine 1200-300 vol 0.5 fade 0 0.25 0.1
effect entered  synth 0.12 sine 660 : synth 0.18 sine 990 vol 0.5 fade 0 0 0.06
effect flip     synth 0.05 pinknoise vol 0.5 highpass 1500 fade 0 0.05 0.03
effect gameover synth 0.22 triangle 784 : synth 0.22 triangle 659 : synth 0.22 triangle 523 : synth 0.5 triangle 392 vol 0.5 fade 0 0 0.2
effect goodword synth 0.1 sine 523 : synth 0.1 sine 659 : synth 0.1 sine 784 : synth 0.25 sine 1047 vol 0.5 fade 0 0 0.1
effect invalid  synth 0.35 sawtooth 110 vol 0.35 fade 0 0.35 0.1
effect puttile  synth 0.04 brownnoise lowpass 900 vol 0.9 fade 0 0.04 0.02
effect tick     synth 0.025 sine 2000 vol 0.5 fade 0 0.025 0.015
effect timeup   synth 0.3 square 440 : synth 0.5 square 330 vol 0.25 fade 0 0 0.15
effect turn     synth 0.15 sine 880 : synth 0.15 sine 880 vol 0.5 fade 0 0 0.05
effect turnnew  synth 0.3 pluck 659 : synth 0.45 pluck 880 vol 0.6

# Chatter sounds, in menu order.
speak  wave1  "D'oh!"                -p 30 -s 150
effect wave2  synth 0.12 brownnoise : synth 0.1 brownnoise : synth 0.14 brownnoise bandpass 500 300h vol 0.9 fade 0 0 0.05 \
              tremolo 9 90
speak  wave3  "Hello!"               -p 60
speak  wave4  "Thank you!"           -p 55
speak  wave5  "Where have you been?" -p 50 -s 150
effect wave6  synth 1.4 brownnoise lowpass 300 tremolo 0.8 100 vol 0.8 fade 0.2 1.4 0.3
effect wave7  synth 0.5 pinknoise 0.05 synth 0.5 sine amod 3 fade 0.3 0.5 0.1 : synth 0.25 whitenoise highpass 2000 fade 0 0.25 0.2 vol 0.6
speak  wave8  "Sorry."               -p 45
speak  wave9  "Welcome!"             -p 60
speak  wave10 "Yee haa!"             -p 80 -s 190
speak  wave11 "Yippee!"              -p 90 -s 180
speak  wave12 "Oh no!"               -p 40 -s 130
effect wave13 synth 1.5 pinknoise bandpass 2500 1500h tremolo 17 70 vol 0.7 fade 0.1 1.5 0.5
effect wave14 synth 0.35 sawtooth 330 synth 0.35 sawtooth mix 415 vol 0.4 fade 0.01 0.35 0.05 : synth 0.45 sawtooth 330 synth 0.45 sawtooth mix 415 vol 0.4 fade 0.01 0.45 0.1
speak  wave15 "Ooooh!"               -p 70 -s 90
effect wave16 synth 0.7 sawtooth 70 synth 0.7 brownnoise amod 28 lowpass 1200 vol 0.6 fade 0.02 0.7 0.15
speak  wave17 "Hooray!"              -p 75 -s 170 -- chorus 0.6 0.9 50 0.4 0.25 2 -t
speak  wave18 "ha ha ha ha"          -p 95 -s 230 -v en+f3
speak  wave19 "ho ho ho ho"          -p 20 -s 210
speak  wave20 "wah wah waaah"        -p 65 -s 110 -- tremolo 6 40

ls -l "$out"
