"""Comlane as another program uses it: the build tree is installed into a temporary prefix, its
headers compile on their own, and the example program is built against the installed tree once
through CMake's find_package(Comlane) and once through pkg-config, then run on a pseudo-terminal:
bytes that arrive are printed in hex, typed lines go out on the line.

usage: comlane_example_test.py BUILD_DIR SOURCE_DIR WORK_DIR [EXTRA_CXX_FLAGS]"""

import glob
import os
import re
import shutil
import subprocess

from ptyrun import Children, Failure, check, main, raw_pty, read_until, run


def install(build, prefix):
    run(["cmake", "--install", build, "--prefix", prefix])
    libraries = glob.glob(os.path.join(prefix, "lib*", "**", "libcomlane.so.1"), recursive=True)
    check(len(libraries) == 1, f"libcomlane.so.1 installed once: {libraries}")
    libdir = os.path.dirname(libraries[0])
    plain = os.path.join(libdir, "libcomlane.so")
    check(os.path.islink(plain), "the plain libcomlane.so the program loads is a link")
    check(os.path.realpath(plain) == os.path.realpath(libraries[0]),
          "libcomlane.so and libcomlane.so.1 are the same library")
    soname = run(["readelf", "-d", libraries[0]])
    check("Library soname: [libcomlane.so.1]" in soname, f"versioned soname:\n{soname}")
    return libdir


def headers_compile_alone(prefix, work, flags):
    include = os.path.join(prefix, "include")
    for header in ("comlane/serial_port.h", "wndmsg/message_target.h", "wndmsg/messages.h"):
        source = os.path.join(work, "one_header.cpp")
        with open(source, "w") as out:
            out.write(f"#include <{header}>\n")
        run(["c++", "-std=c++17", "-Wall", "-Wextra", "-Werror", "-fsyntax-only", *flags,
             "-I" + include, source])


def build_with_cmake(source, prefix, work, flags):
    out = os.path.join(work, "cmake-build")
    run(["cmake", "-S", os.path.join(source, "comlane", "example"), "-B", out,
         "-DCMAKE_PREFIX_PATH=" + prefix, "-DCMAKE_CXX_FLAGS=" + " ".join(flags),
         "-DCMAKE_EXE_LINKER_FLAGS=" + " ".join(flags)])
    run(["cmake", "--build", out])
    return os.path.join(out, "comlane-hexterm")


def build_with_pkg_config(source, libdir, work, flags):
    env = dict(os.environ, PKG_CONFIG_PATH=os.path.join(libdir, "pkgconfig"))
    cflags = run(["pkg-config", "--cflags", "--libs", "comlane"], env=env).split()
    program = os.path.join(work, "pkgconfig-hexterm")
    run(["c++", "-std=c++17", *flags, os.path.join(source, "comlane", "example", "hexterm.cpp"),
         *cflags, "-o", program])
    return program


def hex_tokens(text):
    return re.findall(r"\b[0-9A-F]{2}\b", text.decode())


def talk_through_pty(program, libdir):
    needed = run(["readelf", "-d", program])
    check("Shared library: [libcomlane.so.1]" in needed, f"{program} records libcomlane.so.1")
    master, slave, path = raw_pty()
    os.close(slave)
    env = dict(os.environ, LD_LIBRARY_PATH=libdir)
    with Children() as children:
        child = children.start([program, path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=env)
        read_until(child.stderr.fileno(), lambda b: b"open" in b, 60, "open message")
        frame = bytes([0x5A, 0x06, 0x01, 0x07, 0x01, 0x03, 0x00, 0xFF, 0x0D, 0x0A])
        os.write(master, frame)
        expected = [f"{b:02X}" for b in frame]
        read_until(child.stdout.fileno(), lambda b: hex_tokens(b) == expected, 60,
                   "the frame in hex")
        child.stdin.write(b"hello, line\n")
        child.stdin.flush()
        read_until(master, lambda b: b == b"hello, line\n", 60, "the typed line on the port")
        child.stdin.close()
        check(child.wait(60) == 0, "end of input ends the program with status 0")
    os.close(master)


def body(args):
    build, source, work = args[0], args[1], args[2]
    flags = args[3].split() if len(args) > 3 else []
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    prefix = os.path.join(work, "prefix")
    libdir = install(build, prefix)
    headers_compile_alone(prefix, work, flags)
    for program in (build_with_cmake(source, prefix, work, flags),
                    build_with_pkg_config(source, libdir, work, flags)):
        talk_through_pty(program, libdir)
    shutil.rmtree(work)


if __name__ == "__main__":
    main(body)
