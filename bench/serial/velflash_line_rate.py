"""Throughput of whole serial downloads at 115200 baud against stbsim pacing its line: the native
velflash (the optimised build that `cmake --install` installs) on a socat pty pair, beside
VelManager.dll driven by the bare test client (serial_client.exe) under Wine in the same run. For
each: payload bytes per second over the line's ideal, 1024 / 1032 x 11520 B/s, per download, with
the mean and the spread over the repeats, and the PC's reaction time per block (request sent to
block received, less the line time). The machine is shared: the spread says how much to trust a
figure.

Usage: python3 bench/serial/velflash_line_rate.py [downloads] [repeats]   (both presets built)
"""
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import line_rate  # noqa: E402  the library's measurement, its ideal and its image

NATIVE = os.path.join(ROOT, "build", "native")
VELFLASH = os.path.join(NATIVE, "release", "bin", "velflash")
STBSIM = os.path.join(NATIVE, "bin", "stbsim")


def box_figures(report):
    """Rates per download and reactions per block from stbsim's report."""
    with open(report) as f:
        lines = f.read().splitlines()
    rates, reactions, sent = [], [], None
    for line in lines:
        m = re.search(r"payload bytes in [\d.]+ s \((\d+) B/s\)", line)
        if m:
            rates.append(float(m.group(1)))
        m = re.match(r"\s*([\d.]+) #\d+ box> 69 ", line)
        if m:
            sent = float(m.group(1))
            continue
        m = re.match(r"\s*([\d.]+) #\d+ pc>  block", line)
        if m and sent is not None:
            reactions.append(float(m.group(1)) - sent - line_rate.BLOCK_MS - line_rate.REQUEST_MS)
            sent = None
    return rates, reactions


def measure_native(work, image, downloads):
    """One velflash in line mode serves `downloads` boxes of one stbsim on a fresh pty pair."""
    pc, tty = os.path.join(work, "pc"), os.path.join(work, "box")
    for p in (pc, tty):
        if os.path.lexists(p):
            os.remove(p)
    socat = subprocess.Popen(["socat", "pty,raw,echo=0,link=" + pc, "pty,raw,echo=0,link=" + tty],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while not (os.path.exists(pc) and os.path.exists(tty)):
            time.sleep(0.02)
        report = os.path.join(work, "native-report.txt")
        flasher = subprocess.Popen([VELFLASH, "--port", pc, "--each", image], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        box = subprocess.run([STBSIM, "--tty", tty, "--pace", "--image", image, "--report", report, "--downloads",
                              str(downloads), "--timeout", "600"])
        flasher.send_signal(signal.SIGINT)
        flasher.wait(30)
        if box.returncode != 0:
            sys.exit("stbsim failed (%d): see %s" % (box.returncode, report))
        return box_figures(report)
    finally:
        socat.kill()
        socat.wait()


def show(name, rates, reactions):
    for i, rate in enumerate(rates, 1):
        print("%s, download %d: %.0f B/s = %.4f of the ideal" % (name, i, rate, rate / line_rate.IDEAL))
    ratios = [r / line_rate.IDEAL for r in rates]
    print("%s: mean %.4f of the ideal %.0f B/s, spread %.4f .. %.4f (sd %.4f) over %d downloads" % (
        name, statistics.mean(ratios), line_rate.IDEAL, min(ratios), max(ratios),
        statistics.stdev(ratios) if len(ratios) > 1 else 0.0, len(ratios)))
    reactions = sorted(reactions)
    print("%s: PC reaction per block over %d blocks: mean %.2f ms, median %.2f ms, 90%% %.2f ms, max %.2f ms" % (
        name, len(reactions), statistics.mean(reactions), reactions[len(reactions) // 2],
        reactions[int(len(reactions) * 0.9)], reactions[-1]))
    return statistics.mean(ratios)


def main():
    downloads = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    for program in (VELFLASH, STBSIM):
        if not os.path.exists(program):
            sys.exit("%s is missing: build the native preset first" % program)
    work = tempfile.mkdtemp(prefix="velflash-bench-")
    image = os.path.join(work, "box.img")
    images = line_rate.images
    with open(image, "wb") as f:
        f.write(b"".join(images.section(images.record(), images.payload(0x3800, s)) for s in range(4))
                + images.end_record())
    native, library = ([], []), ([], [])
    wine = os.path.exists(os.path.join(line_rate.BUILD, "bin", "serial_client.exe"))
    if wine:
        subprocess.run([os.path.join(ROOT, "tests", "harness", "setup.sh"), line_rate.HARNESS], check=True,
                       stdout=subprocess.DEVNULL)
    try:
        # Turn about, so that a change in the machine's load touches both alike.
        for _ in range(repeats):
            rates, reactions = measure_native(work, image, downloads)
            native[0].extend(rates)
            native[1].extend(reactions)
            if wine:
                rates, reactions = line_rate.measure(
                    "library", work, image, downloads,
                    [os.path.join(line_rate.BUILD, "bin", "serial_client.exe"), "--image",
                     line_rate.windows_path(image), "--downloads", str(downloads), "--timeout", "600"])
                library[0].extend(rates)
                library[1].extend(reactions)
    finally:
        if wine:
            subprocess.run([os.path.join(ROOT, "tests", "harness", "cleanup.sh"), line_rate.HARNESS], check=False)
        shutil.rmtree(work, True)
    a = show("native velflash", *native)
    if wine:
        b = show("VelManager.dll under Wine (serial_client)", *library)
        print("native velflash over the library under Wine: %.4f" % (a / b))
    else:
        print("(VelManager.dll not measured: build the Windows preset for Wine)")
    print("goal: native at least 0.985 of the ideal: %s" % ("met" if a >= 0.985 else "NOT met"))


if __name__ == "__main__":
    main()
