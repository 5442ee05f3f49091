#!/bin/bash
# Runs "zizeconv info" on every fixture and checks the kind it prints against
# the format the fixture manifest gives; also checks the refusals.
#   zizeconv_info_test.sh FIXTURES_DIR COMMAND...   (COMMAND runs zizeconv)
set -u
fixtures="$1"
shift
if [ ! -f "$fixtures/MANIFEST.tsv" ]; then
  if [ -n "${CI:-}" ]; then echo "fixtures missing at $fixtures"; exit 1; fi
  echo "fixtures missing at $fixtures: skipped"; exit 0
fi

fail=0
checked=0
while IFS='|' read -r path format compare; do
  [ -f "$fixtures/$path" ] || continue
  case "$format" in
    "MAG (MAKI02)") want=KindMag ;;
    MAKI01) want=KindMaki01 ;;
    Pi) want=KindPi ;;
    "PIC2 (P2DT)") want=KindP2 ;;
    PIC*) want=KindPic ;;
    TGA) want=KindTga; [ "$compare" = refused ] && want=refused ;;
    PSD) want=KindPsd ;;
    ZIP) want=KindZip ;;
    LZH) want=KindLzh ;;
    *) echo "unknown format '$format' for $path"; fail=1; continue ;;
  esac
  out=$("$@" info "$fixtures/$path" 2>/dev/null | tr -d '\r')
  status=$?
  if [ "$want" = refused ]; then
    if [ -n "$out" ]; then echo "FAIL $path: expected a refusal, got '$out'"; fail=1; fi
  else
    # Own formats add ", decoder ..." after the kind.
    case "$out" in
      "$fixtures/$path: $want" | "$fixtures/$path: $want, decoder "*) ;;
      *) echo "FAIL $path: expected $want, got '$out' (status $status)"; fail=1 ;;
    esac
  fi
  checked=$((checked + 1))
done < <(awk -F'\t' 'NR > 1 { print $1 "|" $2 "|" $7 }' "$fixtures/MANIFEST.tsv")

# A missing file and a file of no known kind: one line on stderr, non-zero status.
err=$("$@" info "$fixtures/no-such-file.mag" 2>&1 >/dev/null | tr -d '\r')
if "$@" info "$fixtures/no-such-file.mag" >/dev/null 2>&1 || [ -z "$err" ]; then
  echo "FAIL: a missing file must fail with a message"; fail=1
fi
if "$@" info "$fixtures/README.md" >/dev/null 2>&1; then
  echo "FAIL: README.md is of no known kind"; fail=1
fi
if ! "$@" --help | grep -q "info FILE"; then
  echo "FAIL: --help does not list info"; fail=1
fi

echo "$checked fixtures classified"
[ "$checked" -ge 30 ] || { echo "FAIL: too few fixtures found"; fail=1; }
exit $fail
