#!/usr/bin/env python3
"""The pyserial side of bench_comlane: opens a serial device with pyserial and runs a reader
thread blocked in read(1), as a pyserial program receives. Each time COUNT bytes have come in
(read(1), then what else is waiting), it prints the CLOCK_MONOTONIC time in ns of the last one.

Usage: pyserial_reader.py DEVICE COUNT
Prints "ready <pyserial version>" once the reader runs; ends when its standard input closes.
"""
import sys
import threading
import time

import serial


def reader(port, count):
    got = 0
    while True:
        got += len(port.read(1))
        if got < count:
            got += len(port.read(min(port.in_waiting, count - got)))
        if got >= count:
            sys.stdout.write(f"{time.clock_gettime_ns(time.CLOCK_MONOTONIC)}\n")
            sys.stdout.flush()
            got = 0


def main():
    port = serial.Serial(sys.argv[1], 115200, timeout=None)
    threading.Thread(target=reader, args=(port, int(sys.argv[2])), daemon=True).start()
    print(f"ready {serial.__version__}", flush=True)
    sys.stdin.read()


if __name__ == "__main__":
    main()
