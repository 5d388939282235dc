"""Every option of a tool is in its --help, in its manual page and (for velora-sim) in the
README's table, and --version prints the tool's name and the project's version.

usage: tool_options_test.py SOURCE_DIR VERSION TOOL_PATH..."""

import os
import re
import subprocess

from ptyrun import check, main, run


def readme_options(source, tool):
    """Options in the first column of the README's table that follows the tool's section."""
    text = open(os.path.join(source, "README.md")).read()
    section = {"velora-sim": "## The simulated controller",
               "velora-flash": "## Upgrading the firmware from the command line"}.get(tool)
    if section is None or section not in text:
        return set()
    table = text.split(section, 1)[1].split("\n## ", 1)[0]
    options = set()
    for row in re.findall(r"^\| (.*?) \|", table, re.M):
        options.update(re.findall(r"`(--[a-z-]+)", row))
    return options


def man_options(source, tool):
    """Options named in the OPTIONS section of the tool's manual page."""
    page = open(os.path.join(source, "docs", "man", tool + ".1")).read()
    check("\n.SH OPTIONS\n" in page, f"{tool}.1 has an OPTIONS section")
    options = page.split("\n.SH OPTIONS\n", 1)[1].split("\n.SH ", 1)[0]
    return set("--" + o.replace("\\-", "-")
               for o in re.findall(r"\\-\\-([a-z](?:[a-z]|\\-)*)", options))


def help_options(program):
    result = subprocess.run([program, "--help"], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
    check(result.returncode == 0, f"{program} --help succeeds:\n{result.stdout}")
    return set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", result.stdout))


def body(args):
    source, version, programs = args[0], args[1], args[2:]
    for program in programs:
        tool = os.path.basename(program)
        shown = help_options(program)
        check("--version" in shown and "--help" in shown, f"{tool} --help names --help, --version")
        documented = man_options(source, tool)
        check(shown == documented,
              f"{tool}: --help and the manual page differ: only in --help {shown - documented},"
              f" only in the page {documented - shown}")
        missing = readme_options(source, tool) - shown
        check(not missing, f"{tool}: README options missing from --help: {missing}")
        out = run([program, "--version"])
        check(out.strip() == f"{tool} {version}", f"{tool} --version prints {out!r}")


if __name__ == "__main__":
    main(body)
