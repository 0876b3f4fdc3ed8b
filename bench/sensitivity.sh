#!/usr/bin/env bash
# Sensitivity of each mode: runs vela-modem sweep around its threshold and reports the SNR
# (dB in 2500 Hz) at which the character error rate reaches 10% and 1%, interpolating
# log(CER) between the sweep points. Usage: bench/sensitivity.sh [CHARS] [SEEDS] [EXTRA...]
set -euo pipefail
cd "$(dirname "$0")/.."
modem=${VELA_MODEM:-build/src/cli/vela-modem}
chars=${1:-600}
seeds=${2:-6}
shift $(( $# > 2 ? 2 : $# )) || true
declare -A ranges=([vela8]="-22:-16.5:0.25" [vela31]="-16:-10.5:0.25" [vela63]="-13:-8:0.25" [vela125]="-10:-4.5:0.25")
echo "| mode | CER 10% | CER 1% |"
echo "|---|---|---|"
for mode in vela8 vela31 vela63 vela125; do
  "$modem" sweep --mode "$mode" --snr "${ranges[$mode]}" --chars "$chars" --seeds "$seeds" "$@" \
    > "build/sweep-$mode.csv"
  python3 - "build/sweep-$mode.csv" <<'PY'
import csv, math, sys
rows = list(csv.DictReader(open(sys.argv[1])))
pts = [(float(r["snr_db"]), float(r["cer"])) for r in rows]
def cross(target):
    # Highest SNR below which the CER is above target: scan from the top down.
    for (s1, c1), (s2, c2) in zip(pts, pts[1:]):
        if c1 >= target > c2:
            l1, l2 = math.log(max(c1, 1e-6)), math.log(max(c2, 1e-6))
            return s1 + (math.log(target) - l1) / (l2 - l1) * (s2 - s1)
    return float("nan")
print(f"| {rows[0]['mode']} | {cross(0.10):.1f} dB | {cross(0.01):.1f} dB |")
PY
done
