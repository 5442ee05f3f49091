#!/bin/bash
# Builds both builds and runs every test: the native core under ASan and
# UBSan, short runs of every fuzz target, and the Windows tests under Wine
# and Xvfb. Prints ctest's summaries and a closing count; exits non-zero on
# any failure.
#   test.sh [-L LABEL]   (passed on to both ctest runs, e.g. -L core)
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/deps.sh test || exit 1

bash scripts/build.sh native || exit 1
bash scripts/build.sh windows || exit 1

status=0
passed=0
failed=0
# Adds the counts of ctest's summary line to the totals.
count() {
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local f total
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  passed=$((passed + total - f))
  failed=$((failed + f))
}

echo "== native tests"
(cd build/native && ctest -j2 --output-on-failure "$@") 2>&1 | tee build/native/ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
count build/native/ctest.log

if [ $# -eq 0 ]; then
  echo "== fuzz targets, a few seconds each"
  bash scripts/fuzz.sh "${ZIZE_FUZZ_SECONDS:-5}" 2>&1 | tee build/fuzz.log
  if [ "${PIPESTATUS[0]}" -eq 0 ]; then
    n=$(sed -nE 's/^fuzzing passed: ([0-9]+) targets$/\1/p' build/fuzz.log)
    passed=$((passed + ${n:-0}))
  else
    status=1
    failed=$((failed + 1))
  fi
fi

echo "== Windows tests under Wine"
(cd build/windows && ctest -j2 --output-on-failure "$@") 2>&1 | tee build/windows/ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
count build/windows/ctest.log

echo "zize: $passed passed, $failed failed"
exit $status
