#!/usr/bin/env bash
# The enhanced receiver as it runs by default (iterative but in VELA8) in LF band noise,
# beside what bench/receivers.sh measured on white noise (run it first, with the same CHARS
# and SEEDS: its sweeps are read from the same folder). Per mode: the CER 10% and 1% thresholds (dB in 2500 Hz) with static crashes
# (--impulses 10:20) with and without the noise blanker, and without it on white noise
# (what the blanker costs there); both receivers under 0.1 Hz fading; and pull-in: the CER
# 3 dB above the enhanced receiver's 1% threshold with the signal a quarter of the symbol
# rate off either way.
# Usage: bench/band-noise.sh [CHARS] [SEEDS]; VELA_STEP (default 0.5 dB) sets the step around
# the thresholds, VELA_WIDE_STEP (default 1 dB) the step of the wide sweeps (crashes without
# the blanker, fading), for a quicker run on a busy machine.
set -euo pipefail
cd "$(dirname "$0")/.."
modem=${VELA_MODEM:-build/src/cli/vela-modem}
out=${VELA_SWEEP_DIR:-$(dirname "$modem")}
chars=${1:-400}
seeds=${2:-6}
modes=${VELA_MODES:-vela8 vela31 vela63 vela125}
step=${VELA_STEP:-0.5}
wide=${VELA_WIDE_STEP:-1}
# The sweep of the decoder each mode runs by default: VELA8 decodes without the iterations.
declare -A decoder=([vela8]=enhanced)
declare -A quarter=([vela8]=2 [vela31]=8 [vela63]=16 [vela125]=31)
threshold() { python3 bench/threshold.py "$1"; }
range() { echo "$(echo "$1 + $2" | bc -l):$(echo "$1 + $3" | bc -l):$4"; }
sweep() {
  local mode=$1 name=$2; shift 2
  "$modem" sweep --mode "$mode" --chars "$chars" --seeds "$seeds" "$@" > "$out/sweep-$mode-$name.csv"
  threshold "$out/sweep-$mode-$name.csv"
}
echo "| mode | white, blanker | white, no blanker | crashes, blanker | crashes, no blanker | fading 0.1 Hz standard | fading 0.1 Hz enhanced | pull-in CER -/+ quarter baud |"
echo "|---|---|---|---|---|---|---|---|"
for mode in $modes; do
  read -r e10 e1 <<< "$(threshold "$out/sweep-$mode-${decoder[$mode]:-iterative}.csv")"
  read -r s10 s1 <<< "$(threshold "$out/sweep-$mode-standard.csv")"
  read -r w10 w1 <<< "$(sweep "$mode" white-noblank --receiver enhanced --no-blanker --snr "$(range "$e1" -3 1.5 "$step")")"
  read -r i10 i1 <<< "$(sweep "$mode" crashes --receiver enhanced --impulses 10:20 --snr "$(range "$e1" -3 3 "$step")")"
  read -r n10 n1 <<< "$(sweep "$mode" crashes-noblank --receiver enhanced --no-blanker --impulses 10:20 --snr "$(range "$e1" 0 12 "$wide")")"
  read -r fs10 fs1 <<< "$(sweep "$mode" fading-standard --receiver standard --fading 0.1 --snr "$(range "$s1" -2 16 "$wide")")"
  read -r fe10 fe1 <<< "$(sweep "$mode" fading-enhanced --receiver enhanced --fading 0.1 --snr "$(range "$e1" -2 16 "$wide")")"
  at=$(echo "$e1 + 3" | bc -l)
  pull=""
  for sign in - +; do
    "$modem" sweep --mode "$mode" --receiver enhanced --offset "$sign${quarter[$mode]}" \
      --snr "$at:$at:1" --chars "$chars" --seeds "$seeds" > "$out/sweep-$mode-pull$sign.csv"
    pull+="$(tail -1 "$out/sweep-$mode-pull$sign.csv" | awk -F, '{printf "%.2f%%", 100 * $3}') "
  done
  printf "| %s | %s / %s dB | %s / %s dB | %s / %s dB | %s / %s dB | %s / %s dB | %s / %s dB | %s at %.1f dB, ±%s Hz |\n" \
    "${mode^^}" "$e10" "$e1" "$w10" "$w1" "$i10" "$i1" "$n10" "$n1" "$fs10" "$fs1" "$fe10" "$fe1" \
    "$pull" "$at" "${quarter[$mode]}"
done
