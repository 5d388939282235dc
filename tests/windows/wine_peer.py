#!/usr/bin/env python3
"""The far side of wine's COM1 for Comlane's Windows tests.

Makes two raw pseudo-terminals, points the links com1 (the line under test) and com2 (the
control line) in $LAMP_WINE_LINKS at them (wine's registry maps COM1 and COM2 onto those links:
tests/windows/run-wine-tests), runs the given command (the test program under wine) and
answers the control line's requests until the command ends; exits with the command's status.

Requests are text lines; each gets one reply line:
  line               the data line's settings as the kernel holds them: "ispeed ospeed cstopb
                     parodd cmspar ixon ixoff icanon echo opost icrnl"
  send N SEED        writes the test sequence of N bytes to COM1; "sent"
  sendheld N SEED    the same, but replies once the device side holds them unread (N < 4096)
  expect N MS        reads N bytes from COM1 within MS ms; the bytes in hex ("-" for none)
  pull               closes the far side (a pulled adapter); "pulled"
  plug               a new line behind com1; "plugged"
  cpu                CPU time of the test program so far, in ms (user + system, its threads and
                     wineserver's work for it are not told apart: wineserver's own time too)
"""
import array
import fcntl
import os
import select
import subprocess
import sys
import termios
import time
import tty

TCGETS2 = 0x802C542A


def sequence(n, seed):
    return bytes(((i * 7 + seed + i // 251) & 0xFF) for i in range(n))


class Pty:
    def __init__(self):
        self.far, self.device = os.openpty()
        tty.setraw(self.far)
        tty.setraw(self.device)
        self.path = os.ttyname(self.device)

    def close(self):
        for fd in (self.far, self.device):
            if fd >= 0:
                os.close(fd)
        self.far = self.device = -1


def point(folder, name, target):
    link = os.path.join(folder, name)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(target, link)


def line_settings(fd):
    buf = array.array("I", [0] * 11)
    fcntl.ioctl(fd, TCGETS2, buf, True)
    iflag, oflag, cflag, lflag = buf[0], buf[1], buf[2], buf[3]
    ispeed, ospeed = buf[9], buf[10]
    flags = [
        cflag & termios.CSTOPB, cflag & termios.PARODD, cflag & 0o10000000000,
        iflag & termios.IXON, iflag & termios.IXOFF, lflag & termios.ICANON,
        lflag & termios.ECHO, oflag & termios.OPOST, iflag & termios.ICRNL,
    ]
    return " ".join([str(ispeed), str(ospeed)] + ["1" if f else "0" for f in flags])


def read_exactly(fd, n, seconds):
    got = b""
    deadline = time.monotonic() + seconds
    while len(got) < n:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        try:
            chunk = os.read(fd, n - len(got))
        except OSError:
            break
        if not chunk:
            break
        got += chunk
    return got


def wait_queued(fd, n, seconds):
    deadline = time.monotonic() + seconds
    buf = array.array("i", [0])
    while time.monotonic() < deadline:
        fcntl.ioctl(fd, termios.FIONREAD, buf, True)
        if buf[0] >= n:
            return True
        time.sleep(0.001)
    return False


def cpu_ms(pid):
    total = 0
    for p in [pid] + children(pid):
        try:
            with open(f"/proc/{p}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total * 1000 // os.sysconf("SC_CLK_TCK")


def children(pid):
    found = []
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            for c in f.read().split():
                found.append(int(c))
                found += children(int(c))
    except OSError:
        pass
    return found


def answer(request, state):
    words = request.split()
    if not words:
        return "?"
    data = state["data"]
    if words[0] == "line":
        return line_settings(data.device)
    if words[0] in ("send", "sendheld"):
        n, seed = int(words[1]), int(words[2])
        write_all(data.far, sequence(n, seed))
        if words[0] == "sendheld" and not wait_queued(data.device, n, 10):
            return "late"
        return "sent"
    if words[0] == "expect":
        got = read_exactly(data.far, int(words[1]), int(words[2]) / 1000)
        return got.hex() or "-"
    if words[0] == "pull":
        data.close()
        return "pulled"
    if words[0] == "plug":
        state["data"] = Pty()
        point(state["prefix"], "com1", state["data"].path)
        return "plugged"
    if words[0] == "cpu":
        return str(cpu_ms(state["pid"]))
    return "?"


def write_all(fd, bytes_):
    view = memoryview(bytes_)
    while view:
        select.select([], [fd], [])
        view = view[os.write(fd, view):]


def main():
    prefix = os.environ["LAMP_WINE_LINKS"]
    data, control = Pty(), Pty()
    point(prefix, "com1", data.path)
    point(prefix, "com2", control.path)
    child = subprocess.Popen(sys.argv[1:])
    state = {"data": data, "prefix": prefix, "pid": child.pid}
    pending = b""
    while child.poll() is None:
        if not select.select([control.far], [], [], 0.2)[0]:
            continue
        pending += os.read(control.far, 4096)
        while b"\n" in pending:
            request, pending = pending.split(b"\n", 1)
            reply = answer(request.decode(errors="replace"), state)
            write_all(control.far, (reply + "\n").encode())
    sys.exit(child.returncode)


if __name__ == "__main__":
    main()
