#!/usr/bin/env bash
# scripts/run-bench against a build folder of stand-in benchmarks (shell scripts that print a
# section or fail): the document holds the machine's facts, every section in order and the
# pointer to the soak figures; a failing or missing benchmark leaves the document untouched and
# ends the script with an error.
set -uo pipefail
run_bench=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

stand_in() { # folder name text [exit status]
  mkdir -p "$1/bin"
  printf '#!/bin/sh\nprintf "%%s\\n" "%s"\nexit %s\n' "$3" "${4:-0}" >"$1/bin/$2"
  chmod +x "$1/bin/$2"
}

# Every benchmark succeeds: known ones in their order, others after them.
good=$work/good
stand_in "$good" bench_zeta "## Zeta"
stand_in "$good" bench_panel "## Panel"
stand_in "$good" bench_comlane "## Comlane"
printf 'not a benchmark\n' >"$good/bin/bench_notes.txt"
printf 'CMAKE_BUILD_TYPE:STRING=RelWithDebInfo\n' >"$good/CMakeCache.txt"
doc=$work/out/performance.md
if ! "$run_bench" "$good" "$doc" >/dev/null 2>"$work/err"; then
  fail "run-bench failed with every benchmark succeeding: $(cat "$work/err")"
fi
for expected in '^# Performance' '^| `nproc` | [0-9]' '^| kernel | Linux' 'before the run | [0-9]' \
  'after the run | [0-9]' 'RelWithDebInfo' '\[soak.md\](soak.md)'; do
  grep -q -- "$expected" "$doc" 2>/dev/null || fail "document lacks $expected"
done
order=$(grep '^## ' "$doc" | tr '\n' ',')
[ "$order" = "## The machine,## Comlane,## Panel,## Zeta,## Long runs," ] ||
  fail "sections out of order: $order"

# A failing benchmark, or none at all: the document stays as it was.
bad=$work/bad
stand_in "$bad" bench_comlane "## Comlane"
stand_in "$bad" bench_framer "## Framer, half" 3
for build in "$bad" "$work/empty"; do
  mkdir -p "$build/bin"
  echo "kept" >"$work/kept.md"
  if "$run_bench" "$build" "$work/kept.md" >/dev/null 2>&1; then
    fail "run-bench succeeded on $(basename "$build")"
  fi
  [ "$(cat "$work/kept.md")" = "kept" ] || fail "$(basename "$build") overwrote the document"
done

[ "$failures" -eq 0 ] && echo "run-bench: all checks passed"
exit "$failures"
