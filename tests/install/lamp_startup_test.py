"""The installed program starts as an operator would start it: `velora-sim` and `lamp` from the
same installed bin/ folder, the settings file naming the simulator's port. Once `lamp` has loaded
its three libraries and opened the port, the simulator sees the state read-back (reads of
commands 18, 1, 2, 3 and 8, in this order) and then the status poll.

usage: lamp_startup_test.py BIN_DIR WORK_DIR [LIBRARY_DIR]
LIBRARY_DIR, when given, stands for the system's library folder of an unpacked package."""

import os
import re
import shutil
import subprocess

from ptyrun import Children, check, main, read_until

READ_BACK = [0x12, 0x01, 0x02, 0x03, 0x08]
STATUS_POLL = 0x07
READ = 0x01


def read_requests(trace):
    """Command numbers of the read requests the simulator received, in order."""
    commands = []
    for frame in re.findall(r"<- ((?:[0-9A-F]{2} ?)+)", trace.decode(errors="replace")):
        values = [int(b, 16) for b in frame.split()]
        if len(values) >= 6 and values[0] == 0x5A and values[4] == READ:
            commands.append(values[3])
    return commands


def started(trace):
    commands = read_requests(trace)
    return commands[:len(READ_BACK)] == READ_BACK and STATUS_POLL in commands[len(READ_BACK):]


def body(args):
    bin_dir, work = os.path.abspath(args[0]), os.path.abspath(args[1])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "config"))
    os.makedirs(os.path.join(work, "runtime"), mode=0o700)
    link = os.path.join(work, "velora")
    with open(os.path.join(work, "config", "lamp.INI"), "w") as ini:
        ini.write(f"[SERIAL]\nPORT={link}\nBAUDRATE=115200\nDATABIT=8\nPARITY=NONE\n"
                  "STOPBIT=1\nFLOW=NONE\n")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
               XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_RUNTIME_DIR=os.path.join(work, "runtime"))
    env.pop("LAMP_LIB_DIR", None)
    if len(args) > 2:
        env["LD_LIBRARY_PATH"] = os.path.abspath(args[2])
    with Children() as children:
        sim = children.start([os.path.join(bin_dir, "velora-sim"), "--link", link, "--trace"],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        trace = read_until(sim.stdout.fileno(), lambda b: b"controller at" in b, 60,
                           "simulator start-up")
        # Started from an empty folder, as from a desktop menu: pictures come from share/lamp.
        lamp = children.start([os.path.join(bin_dir, "lamp")], cwd=work, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        trace += read_until(sim.stdout.fileno(), started, 120,
                            "state read-back and status poll from lamp")
        check(lamp.poll() is None, "lamp still runs")
    shutil.rmtree(work)


if __name__ == "__main__":
    main(body)
