#!/usr/bin/env python3
"""Receive latency of Comlane's Win32 back end under wine, by bench_comlane's method: the far
side of COM1 writes one byte at a time with a random pause of 1 to 3 ms, stamping each write on
the monotonic clock; bench_comlane_wine.exe stamps each delivery in its owner's handler on
QueryPerformanceCounter. Prints a markdown table for docs/performance.md.

usage: wine_latency.py BENCH_EXE   (COM1 mapped onto $LAMP_WINE_LINKS/com1, see tests/windows)
"""
import os
import random
import statistics
import subprocess
import sys
import time
import tty

SAMPLES = 2000



def main():
    exe = sys.argv[1]
    far, device = os.openpty()
    tty.setraw(far)
    tty.setraw(device)
    link = os.path.join(os.environ["LAMP_WINE_LINKS"], "com1")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.ttyname(device), link)
    child = subprocess.Popen(["wine", exe, str(SAMPLES)], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True)
    idle = child.stdout.readline().split()
    if child.stdout.readline().strip() != "ready":
        sys.exit("bench_comlane_wine.exe did not start")
    # Which clock wine's QueryPerformanceCounter follows is checked below against the stamps.
    sent = {"monotonic": [], "raw": []}
    dice = random.Random(1)
    for i in range(SAMPLES):
        time.sleep(dice.uniform(0.001, 0.003))
        sent["raw"].append(time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW))
        sent["monotonic"].append(time.monotonic_ns())
        os.write(far, bytes([i & 0xFF]))
    got = [int(child.stdout.readline()) for _ in range(SAMPLES)]
    child.wait()
    best = None
    for name, stamps in sent.items():
        latencies = [(g - s) / 1000 for g, s in zip(got, stamps)]
        if min(latencies) >= 0 and (best is None or statistics.median(latencies) < best[1]):
            best = (name, statistics.median(latencies), latencies)
    if best is None:
        sys.exit("no clock of this system matches wine's QueryPerformanceCounter")
    latencies = sorted(best[2])
    p99 = latencies[int(len(latencies) * 0.99) - 1]
    print(f"| Win32 back end under wine ({best[0]} clock) | {best[1]:.0f} µs | {p99:.0f} µs "
          f"| {idle[1] if len(idle) > 1 else '?'} % |")


if __name__ == "__main__":
    main()
