#!/bin/bash
# Installs the Debian packages that building, running and testing Zize need,
# when they are missing.
#   deps.sh run     what the run command needs (the Windows build and Wine)
#   deps.sh test    everything: both builds, Wine, Xvfb, fuzzers, oracles
#   deps.sh bench   the native Release build with Google Benchmark and the peers
#   deps.sh fuzz    the native clang build with libFuzzer
set -euo pipefail
mode="${1:-test}"

common=(cmake ninja-build python3 locales fp-utils g++-mingw-w64-x86-64-posix mingw-w64 binutils-mingw-w64-x86-64
        wine64 wine fonts-ipafont-gothic xauth x11-utils xvfb zip unzip)
testing=(g++ pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libpng-dev
         clang-14 libclang-rt-14-dev liblhasa-dev lhasa jlha-utils libz-mingw-w64-dev x11-apps imagemagick file libchm-bin)

native=(cmake ninja-build python3 g++ pkg-config libpng-dev zlib1g-dev)
case "$mode" in
  run) wanted=("${common[@]}") ;;
  test) wanted=("${common[@]}" "${testing[@]}") ;;
  bench) wanted=("${native[@]}" googletest libgtest-dev libgmock-dev libbenchmark-dev liblhasa-dev jlha-utils) ;;
  fuzz) wanted=("${native[@]}" clang-14 libclang-rt-14-dev) ;;
  *) echo "usage: deps.sh run|test|bench|fuzz" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
# Recommends stay on: Wine loads the X libraries they bring at run time.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
