#!/usr/bin/env bash
# Where the enhanced receiver's loss against the genie comes from: the genie made to
# estimate one quantity itself the way the enhanced receiver does (plain: no help from the
# known symbols; phase: the carrier phase from the noisy squared rails; scale: the rails'
# amplitude and noise from their moments; frames: the soft PN search), and how far each
# moves its CER 1% threshold. Run bench/receivers.sh first with the same CHARS and SEEDS:
# the genie's own sweep is read from the same folder. All of it with the Viterbi decoder
# (--iterations 0), the receiver and genie the estimates were first compared on.
# Usage: bench/loss-budget.sh [CHARS] [SEEDS]
set -euo pipefail
cd "$(dirname "$0")/.."
modem=${VELA_MODEM:-build/src/cli/vela-modem}
out=${VELA_SWEEP_DIR:-$(dirname "$modem")}
chars=${1:-400}
seeds=${2:-6}
modes=${VELA_MODES:-vela8 vela31 vela63 vela125}
estimates="plain phase scale frames"
threshold() { python3 bench/threshold.py "$1"; }
echo "| mode | genie CER 1% | plain | phase | scale | frames | enhanced |"
echo "|---|---|---|---|---|---|---|"
for mode in $modes; do
  read -r _ g1 <<< "$(threshold "$out/sweep-$mode-genie.csv")"
  read -r _ e1 <<< "$(threshold "$out/sweep-$mode-enhanced.csv")"
  row="| ${mode^^} | $g1 dB |"
  for est in $estimates; do
    range="$(echo "$g1 - 1.5" | bc -l):$(echo "$g1 + 2" | bc -l):0.5"
    "$modem" sweep --mode "$mode" --receiver genie --iterations 0 --genie-estimate "$est" --snr "$range" \
      --chars "$chars" --seeds "$seeds" > "$out/sweep-$mode-genie-$est.csv"
    read -r _ t1 <<< "$(threshold "$out/sweep-$mode-genie-$est.csv")"
    row+=" $(printf '%+.1f' "$(echo "$t1 - $g1" | bc -l)") dB |"
  done
  echo "$row $(printf '%+.1f' "$(echo "$e1 - $g1" | bc -l)") dB |"
done
