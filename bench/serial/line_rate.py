"""Throughput of whole serial downloads at 115200 baud against stbsim pacing its line, two
ways in the same run: VelManager.dll driven by the bare test client (serial_client.exe), and
Stelvar.exe with its window, driven from outside by stelvar_driver.exe (file dialog, then
the download, watched without reading the window). For each: payload bytes per second over
the line's ideal, 1024 / 1032 x 11520 B/s (a 1030-byte block plus the 2-byte request per
1024 payload bytes), and the PC's reaction time per block (request sent to block received,
less the line time).

Usage: python3 bench/serial/line_rate.py [downloads]   (both presets built)
"""
import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import images  # noqa: E402

ARCH = subprocess.run([os.path.join(ROOT, "tools", "windows-arch")], capture_output=True, text=True).stdout.strip()
BUILD = os.path.join(ROOT, "build", "windows-x64" if ARCH == "x86_64" else "windows")
HARNESS = os.path.join(BUILD, "harness")
WINE_RUN = [os.path.join(ROOT, "tests", "harness", "wine-run"), HARNESS]
IDEAL = 1024 / 1032 * 11520
BLOCK_MS = 1030 * 10 / 115.2
REQUEST_MS = 2 * 10 / 115.2


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def measure(name, work, image, downloads, pc_command):
    """Runs the box for `downloads` downloads against pc_command; returns rates and reactions."""
    report = os.path.join(work, name + "-report.txt")
    box = subprocess.Popen([os.path.join(ROOT, "build", "native", "bin", "stbsim"), "--tty",
                            os.path.join(HARNESS, "pty", "com2"), "--pace", "--image", image, "--report", report,
                            "--downloads", str(downloads), "--timeout", "600"])
    time.sleep(0.2)
    subprocess.run(WINE_RUN + pc_command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   stdin=subprocess.DEVNULL, check=True)
    box.wait(timeout=60)
    if box.returncode != 0:
        sys.exit("stbsim failed (%d): see %s" % (box.returncode, report))
    with open(report) as f:
        lines = f.read().splitlines()
    rates = [float(m.group(1)) for m in (re.search(r"payload bytes in [\d.]+ s \((\d+) B/s\)", l) for l in lines) if m]
    return rates, sorted(block_reactions(lines))


def block_reactions(report_lines):
    """From a stbsim report: for each block, the box's request sent to the block received, less
    the line time of both, in ms."""
    reactions, sent = [], None
    for line in report_lines:
        m = re.match(r"\s*([\d.]+) #\d+ box> 69 ", line)
        if m:
            sent = float(m.group(1))
            continue
        m = re.match(r"\s*([\d.]+) #\d+ pc>  block", line)
        if m and sent is not None:
            reactions.append(float(m.group(1)) - sent - BLOCK_MS - REQUEST_MS)
            sent = None
    return reactions


def show(name, rates, reactions):
    for i, rate in enumerate(rates, 1):
        print("%s, download %d: %.0f B/s = %.3f of the ideal %.0f B/s" % (name, i, rate, rate / IDEAL, IDEAL))
    mean = sum(rates) / len(rates)
    print("%s: mean %.0f B/s = %.3f of the ideal" % (name, mean, mean / IDEAL))
    print("%s: PC reaction per block over %d blocks: mean %.2f ms, median %.2f ms, 90%% %.2f ms" % (
        name, len(reactions), sum(reactions) / len(reactions), reactions[len(reactions) // 2],
        reactions[int(len(reactions) * 0.9)]))
    return mean


def main():
    downloads = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    subprocess.run([os.path.join(ROOT, "tests", "harness", "setup.sh"), HARNESS], check=True,
                   stdout=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="stelvar-bench-")
    image = os.path.join(work, "box.img")
    data = b"".join(images.section(images.record(), images.payload(0x3800, s)) for s in range(4))
    with open(image, "wb") as f:
        f.write(data + images.end_record())
    bin_dir = os.path.join(BUILD, "bin")
    try:
        library = measure("library", work, image, downloads,
                          [os.path.join(bin_dir, "serial_client.exe"), "--image", windows_path(image),
                           "--downloads", str(downloads), "--timeout", "600"])
        program = measure("stelvar", work, image, downloads,
                          [os.path.join(bin_dir, "stelvar_driver.exe"), "start"] +
                          ["pick", windows_path(image), "watch-quiet", "120"] * downloads + ["close"])
    finally:
        subprocess.run([os.path.join(ROOT, "tests", "harness", "cleanup.sh"), HARNESS], check=False)
    a = show("library alone (serial_client)", *library)
    b = show("Stelvar.exe with its window", *program)
    print("Stelvar.exe over the library alone: %.3f" % (b / a))


if __name__ == "__main__":
    main()
