#!/usr/bin/env python3
"""velora-flash.exe under wine against velora-sim: write with verify, read back to a HEX file,
and a device that never answers. COM1 is mapped (wine's registry) onto the link
$LAMP_WINE_LINKS/com1, where velora-sim puts its port.

usage: flash_wine_test.py VELORA_SIM VELORA_FLASH_EXE WORK_FOLDER
"""
import os
import random
import subprocess
import sys
import time


def hex_file(path, data):
    with open(path, "w") as f:
        for at in range(0, len(data), 16):
            chunk = data[at:at + 16]
            record = [len(chunk), at >> 8, at & 0xFF, 0] + list(chunk)
            check = (-sum(record)) & 0xFF
            f.write(":" + "".join(f"{b:02X}" for b in record + [check]) + "\n")
        f.write(":00000001FF\n")


def hex_data(path):
    memory = {}
    base = 0
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line.startswith(":"):
                continue
            raw = bytes.fromhex(line[1:])
            count, address, kind = raw[0], (raw[1] << 8) | raw[2], raw[3]
            if kind == 0:
                for i in range(count):
                    memory[base + address + i] = raw[4 + i]
            elif kind == 2:
                base = ((raw[4] << 8) | raw[5]) << 4
            elif kind == 4:
                base = ((raw[4] << 8) | raw[5]) << 16
    return memory


class Simulator:
    def __init__(self, program, link, *options):
        if os.path.lexists(link):
            os.remove(link)
        self.process = subprocess.Popen([program, "--link", link, "--device", "ATmega8", *options],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.lexists(link) and time.monotonic() < deadline:
            time.sleep(0.05)

    def stop(self):
        self.process.terminate()
        self.process.wait()


def flash(exe, *arguments):
    result = subprocess.run(["wine", exe, "--port", "COM1", "--baud", "115200", *arguments],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            timeout=240)
    return result.returncode, result.stdout


def main():
    sim, exe, work = sys.argv[1:4]
    link = os.path.join(os.environ["LAMP_WINE_LINKS"], "com1")
    os.makedirs(work, exist_ok=True)
    passed = failed = 0

    def check(name, ok, output=""):
        nonlocal passed, failed
        print(("ok     " if ok else "FAILED ") + name, flush=True)
        if not ok:
            print(output)
        passed += ok
        failed += not ok

    data = bytes(random.Random(7).randrange(256) for _ in range(3000))
    image = os.path.join(work, "image.hex")
    hex_file(image, data)
    device = Simulator(sim, link)
    try:
        code, output = flash(exe, "write", image)
        check("write with verify succeeds", code == 0, output)
        backup = os.path.join(work, "backup.hex")
        code, output = flash(exe, "read", backup)
        memory = hex_data(backup) if code == 0 and os.path.exists(backup) else {}
        check("read to HEX gives back what was written",
              code == 0 and bytes(memory.get(i, 0xFF) for i in range(len(data))) == data, output)
    finally:
        device.stop()

    device = Simulator(sim, link, "--never-identify")
    try:
        code, output = flash(exe, "--timeout", "2", "identify")
        check("a silent device is reported as not answering (exit 3)", code == 3, output)
    finally:
        device.stop()

    print(f"{passed} passed, {failed} failed")
    sys.exit(0 if failed == 0 else 1)


if __name__ == "__main__":
    main()
