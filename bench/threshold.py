# The SNR at which a sweep's CER crosses 10% and 1%: the highest SNR at which the CER is
# still at or above the target, log(CER) interpolated upwards. Usage: threshold.py SWEEP.csv
import csv, math, sys
pts = [(float(r["snr_db"]), float(r["cer"])) for r in csv.DictReader(open(sys.argv[1]))]
def cross(target):
    for (s1, c1), (s2, c2) in reversed(list(zip(pts, pts[1:]))):
        if c1 >= target > c2:
            l1, l2 = math.log(max(c1, 1e-6)), math.log(max(c2, 1e-6))
            return s1 + (math.log(target) - l1) / (l2 - l1) * (s2 - s1)
    return float("nan")
print(f"{cross(0.10):.1f} {cross(0.01):.1f}")
