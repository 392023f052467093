"""Payload rate of four boxes served at once by one velflash.exe (one child per port) beside a
lone box served alone, in the same run: velflash under Wine at 115200 baud, stbsim pacing each
line as a UART would. Each round downloads with the lone box on COM1, then with four boxes on
COM1, COM13, COM15 and COM17 at once; the rate of a box is stbsim's payload bytes per second of
its download. Prints every figure, the mean and spread over the rounds, and each of the four
over the lone box's mean (the goal: 0.95 or more).

Usage: python3 bench/serial/station_rate.py [rounds]   (both presets built)
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from line_rate import HARNESS, IDEAL, ROOT, BUILD, WINE_RUN, block_reactions, windows_path

sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import images  # noqa: E402

STBSIM = os.path.join(ROOT, "build", "native", "bin", "stbsim")
FLASHER = os.path.join(BUILD, "bin", "velflash.exe")
PAIRS = [(1, 2), (13, 14), (15, 16), (17, 18)]  # PC side, box side


def serve(work, image, pairs, tag):
    """One velflash run over the pairs' PC sides; the payload rate of each box and the PC's
    reactions to its block requests (request sent to block received, less the line time), by port."""
    boxes = []
    for pc, box in pairs:
        report = os.path.join(work, "%s-com%d.txt" % (tag, pc))
        boxes.append((pc, report, subprocess.Popen(
            [STBSIM, "--tty", os.path.join(HARNESS, "pty", "com%d" % box), "--pace", "--image", image,
             "--report", report, "--timeout", "120"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)))
    time.sleep(0.3)
    ports = ",".join(str(pc) for pc, _ in pairs)
    run = subprocess.run(WINE_RUN + [FLASHER, "--quiet", "--port", ports, windows_path(image)],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=180)
    rates, reactions = {}, {}
    for pc, report, proc in boxes:
        proc.wait(timeout=30)
        with open(report) as f:
            text = f.read()
        found = re.findall(r"payload bytes in [\d.]+ s \((\d+) B/s\)", text)
        if proc.returncode != 0 or len(found) != 1 or run.returncode != 0:
            sys.exit("%s: COM%d did not download (velflash %d, stbsim %d):\n%s" % (
                tag, pc, run.returncode, proc.returncode, run.stdout.decode("latin-1")))
        rates["COM%d" % pc] = int(found[0])
        reactions["COM%d" % pc] = block_reactions(text.splitlines())
    return rates, reactions


def spread(values):
    return "mean %.0f B/s, min %d, max %d, stdev %.0f" % (
        statistics.mean(values), min(values), max(values), statistics.pstdev(values))


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    subprocess.run([os.path.join(ROOT, "tests", "harness", "setup.sh"), HARNESS], check=True,
                   stdout=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="stelvar-station-bench-")
    image = os.path.join(work, "box.img")
    with open(image, "wb") as f:
        f.write(b"".join(images.section(images.record(), images.payload(0x3800, s)) for s in range(4))
                + images.end_record())
    lone, four = [], {"COM%d" % pc: [] for pc, _ in PAIRS}
    lone_reactions, four_reactions = [], []
    try:
        for r in range(1, rounds + 1):
            rates, reactions = serve(work, image, PAIRS[:1], "lone%d" % r)
            alone = rates["COM1"]
            lone.append(alone)
            lone_reactions += reactions["COM1"]
            together, reactions = serve(work, image, PAIRS, "four%d" % r)
            for port, rate in together.items():
                four[port].append(rate)
                four_reactions.extend(reactions[port])
            print("round %d: lone box %d B/s; four at once: %s" % (
                r, alone, ", ".join("%s %d B/s (%.3f)" % (p, v, v / alone) for p, v in sorted(together.items()))))
    finally:
        subprocess.run([os.path.join(ROOT, "tests", "harness", "cleanup.sh"), HARNESS], check=False)
    base = statistics.mean(lone)
    print("lone box: %s = %.3f of the line's ideal %.0f B/s" % (spread(lone), base / IDEAL, IDEAL))
    for port, values in sorted(four.items()):
        print("%s of four: %s; over the lone box %.3f (worst round %.3f)" % (
            port, spread(values), statistics.mean(values) / base, min(v / l for v, l in zip(values, lone))))
    everything = [v for values in four.values() for v in values]
    print("four at once over the lone box: mean %.3f, worst %.3f (goal 0.95)" % (
        statistics.mean(everything) / base, min(everything) / base))
    for name, values in (("lone box", lone_reactions), ("four at once", four_reactions)):
        values.sort()
        print("PC reaction per block, %s, over %d blocks: mean %.2f ms, median %.2f ms, 90%% %.2f ms, max %.2f ms" % (
            name, len(values), statistics.mean(values), values[len(values) // 2], values[int(len(values) * 0.9)],
            values[-1]))


if __name__ == "__main__":
    main()
