#!/usr/bin/env bash
# Sensitivity of the receivers side by side: for each mode, sweeps the standard receiver, the
# enhanced one decoding with the Viterbi decoder alone (--iterations 0) and with its
# iterative decoder (the default), and the genie (told the timing, carrier and frame
# positions) with either decoder, around their thresholds, and reports the SNR (dB in
# 2500 Hz) at which the character error rate reaches 10% and 1%, interpolating log(CER)
# between points, and what the iterations gain at 1%.
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
declare -A iterative=([vela8]="-27:-22.5:$step" [vela31]="-21:-16.5:$step" [vela63]="-18:-14:$step" [vela125]="-15:-11:$step")
declare -A genie=([vela8]="-26:-21.5:$step" [vela31]="-20:-15.5:$step" [vela63]="-17:-13:$step" [vela125]="-14:-10:$step")
declare -A genieiter=([vela8]="-27.5:-23:$step" [vela31]="-21.5:-17:$step" [vela63]="-18.5:-14.5:$step" [vela125]="-15.5:-11.5:$step")
declare -A options=([standard]="--receiver standard" [enhanced]="--receiver enhanced --iterations 0"
  [iterative]="--receiver enhanced --iterations 8" [genie]="--receiver genie --iterations 0"
  [genieiter]="--receiver genie --iterations 8")
threshold() { python3 bench/threshold.py "$1"; }
receivers="standard enhanced iterative genie genieiter"
echo "| mode | CER | standard | enhanced, 0 iterations | enhanced, iterative | genie, 0 iterations | genie, iterative | iterations gain |"
echo "|---|---|---|---|---|---|---|---|"
for mode in $modes; do
  declare -A t10=() t1=()
  for rx in $receivers; do
    declare -n range=$rx
    # shellcheck disable=SC2086
    "$modem" sweep --mode "$mode" ${options[$rx]} --snr "${range[$mode]}" --chars "$chars" \
      --seeds "$seeds" "$@" > "$out/sweep-$mode-$rx.csv"
    read -r t10[$rx] t1[$rx] <<< "$(threshold "$out/sweep-$mode-$rx.csv")"
  done
  for cer in 10 1; do
    declare -n t=t$cer
    printf "| %s | %s%% | %s dB | %s dB | %s dB | %s dB | %s dB | %.1f dB |\n" "${mode^^}" "$cer" \
      "${t[standard]}" "${t[enhanced]}" "${t[iterative]}" "${t[genie]}" "${t[genieiter]}" \
      "$(echo "${t[enhanced]} - ${t[iterative]}" | bc -l)"
  done
done
