#!/usr/bin/env python3
"""Junk after an over: for each mode, S/N and seed, one over (encode), 60 s after it of the
band's noise or of digital silence (zero samples), decoded by the enhanced receiver; reports
the characters printed beyond the over's own text (and its trailing newline) per case.
Usage: bench/over-end.py [SECONDS] [SEEDS]; VELA_MODES, VELA_MODEM as for the other scripts."""
import os, subprocess, sys, tempfile, wave

modem = os.environ.get("VELA_MODEM", "build/src/cli/vela-modem")
seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60.0
seeds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
modes = os.environ.get("VELA_MODES", "vela8 vela31 vela63 vela125").split()
# The enhanced receiver's CER 1% point on white noise (default decoder), then higher.
threshold = {"vela8": -24.0, "vela31": -18.8, "vela63": -15.7, "vela125": -12.7}
over = {"vela8": "CQ DE G4XYZ K\n", "vela31": "CQ CQ DE G4XYZ G4XYZ PSE K\n"}
long_text = "G4XYZ DE DL2ABC TNX FER CALL UR RST 559 QTH NEAR BERLIN HW? G4XYZ DE DL2ABC KN\n"


def run(*args):
    return subprocess.run([modem, *args], check=True, capture_output=True).stdout


def pad(src, dst, secs):
    with wave.open(src, "rb") as r:
        params = r.getparams()
        frames = r.readframes(r.getnframes())
    with wave.open(dst, "wb") as w:
        w.setparams(params)
        w.writeframes(frames + b"\0" * int(secs * params.framerate) * params.sampwidth * params.nchannels)


def junk(text, printed):
    # What follows the over's text: the output past the alignment of the text's end. Errors
    # in the text itself near the threshold make this a count of extra characters at most.
    end = text.rstrip("\n")
    tail = end[-6:]
    at = printed.rfind(tail)
    rest = printed[at + len(tail):] if at >= 0 else printed[len(end):]
    return len(rest.strip("\n")), rest.strip("\n")


with tempfile.TemporaryDirectory() as d:
    print("mode,snr,seed,after,junk,what")
    for mode in modes:
        text = over.get(mode, long_text)
        clean = os.path.join(d, "clean.wav")
        run("encode", "--mode", mode, "--text", text, "-o", clean)
        padded = os.path.join(d, "padded.wav")
        pad(clean, padded, seconds)
        for rise in (0, 3, 10, 30):
            snr = threshold[mode] + rise
            for seed in range(1, seeds + 1):
                for after in ("noise", "silence"):
                    noisy = os.path.join(d, "noisy.wav")
                    if after == "noise":
                        run("channel", "--snr", str(snr), "--seed", str(seed), padded, noisy)
                    else:
                        run("channel", "--snr", str(snr), "--seed", str(seed), clean, noisy)
                        pad(noisy, noisy, seconds)
                    out = run("decode", "--mode", mode, "--receiver", "enhanced", noisy)
                    n, what = junk(text, out.decode("utf-8", "replace"))
                    print(f"{mode},{snr:.1f},{seed},{after},{n},{what!r}", flush=True)
