"""Helpers of the install and package tests: a raw pseudo-terminal, child processes that are
always stopped, and reading with a deadline instead of sleeping."""

import os
import select
import signal
import subprocess
import sys
import termios
import time
import tty


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def raw_pty():
    """A pseudo-terminal pair with both ends raw, so binary bytes pass unchanged."""
    master, slave = os.openpty()
    for fd in (master, slave):
        tty.setraw(fd, termios.TCSANOW)
    return master, slave, os.ttyname(slave)


def read_until(fd, predicate, seconds, what):
    """Reads fd into a buffer until predicate(buffer) holds; fails after `seconds`."""
    deadline = time.monotonic() + seconds
    buffer = b""
    while not predicate(buffer):
        left = deadline - time.monotonic()
        if left <= 0:
            raise Failure(f"no {what} within {seconds} s; got {buffer[:3000]!r}")
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            chunk = os.read(fd, 4096)
            if not chunk:
                raise Failure(f"end of output before {what}; got {buffer[:3000]!r}")
            buffer += chunk
    return buffer


class Children:
    """Processes started by a test, stopped (and reaped) in reverse order at the end."""

    def __init__(self):
        self.processes = []

    def start(self, args, **kwargs):
        process = subprocess.Popen(args, **kwargs)
        self.processes.append(process)
        return process

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(30)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        return False


def run(args, **kwargs):
    """Runs a command to its end; fails with its output when it does not succeed."""
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            **kwargs)
    if result.returncode != 0:
        raise Failure(f"{' '.join(map(str, args))} failed ({result.returncode}):\n{result.stdout}")
    return result.stdout


def main(body):
    try:
        body(sys.argv[1:])
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
