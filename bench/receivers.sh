#!/usr/bin/env bash
# Sensitivity of the receivers side by side: for each mode, sweeps the standard and the
# enhanced receiver and the genie (the bound of the air format: told the timing, carrier and
# frame positions) around their thresholds and reports the SNR (dB in 2500 Hz) at which
# the character error rate reaches 10% and 1%, interpolating log(CER) between points, and
# how far the enhanced receiver's 1% threshold lies above the genie's.
# Usage: bench/receivers.sh [CHARS] [SEEDS] [EXTRA sweep options, e.g. --offset 2 --ppm 200]
set -euo pipefail
cd "$(dirname "$0")/.."
modem=${VELA_MODEM:-build/src/cli/vela-modem}
out=${VELA_SWEEP_DIR:-$(dirname "$modem")}
chars=${1:-600}
seeds=${2:-6}
shift $(( $# > 2 ? 2 : $# )) || true
modes=${VELA_MODES:-vela8 vela31 vela63 vela125}
step=${VELA_STEP:-0.5}
declare -A standard=([vela8]="-21.5:-17:$step" [vela31]="-15.5:-11:$step" [vela63]="-12.5:-8.5:$step" [vela125]="-9.5:-5.5:$step")
declare -A enhanced=([vela8]="-25.5:-21:$step" [vela31]="-19.5:-15:$step" [vela63]="-16.5:-12.5:$step" [vela125]="-13.5:-9.5:$step")
declare -A genie=([vela8]="-26:-21.5:$step" [vela31]="-20:-15.5:$step" [vela63]="-17:-13:$step" [vela125]="-14:-10:$step")
threshold() { python3 bench/threshold.py "$1"; }
echo "| mode | standard CER 10% | enhanced CER 10% | genie CER 10% | standard CER 1% | enhanced CER 1% | genie CER 1% | enhanced - genie at 1% |"
echo "|---|---|---|---|---|---|---|---|"
for mode in $modes; do
  for rx in standard enhanced genie; do
    declare -n range=$rx
    "$modem" sweep --mode "$mode" --receiver "$rx" --snr "${range[$mode]}" --chars "$chars" \
      --seeds "$seeds" "$@" > "$out/sweep-$mode-$rx.csv"
  done
  read -r s10 s1 <<< "$(threshold "$out/sweep-$mode-standard.csv")"
  read -r e10 e1 <<< "$(threshold "$out/sweep-$mode-enhanced.csv")"
  read -r g10 g1 <<< "$(threshold "$out/sweep-$mode-genie.csv")"
  printf "| %s | %s dB | %s dB | %s dB | %s dB | %s dB | %s dB | %.1f dB |\n" "${mode^^}" "$s10" "$e10" \
    "$g10" "$s1" "$e1" "$g1" "$(echo "$e1 - $g1" | bc -l)"
done
