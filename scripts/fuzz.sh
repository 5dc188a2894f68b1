#!/usr/bin/env bash
# Builds the fuzz targets with Clang (AddressSanitizer, UndefinedBehaviorSanitizer
# and libFuzzer) into ./build-fuzz and runs each for the given number of seconds
# (default 60), printing how many inputs it tried. A target that finds a crash
# stops and leaves the input as build-fuzz/<target>/crash-*. Not part of the
# test suite.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="${KESTREL_FUZZ_DIR:-$here/build-fuzz}"
targets=(key_text_fuzz action_fuzz recognised_text_fuzz grammar_file_fuzz spoken_text_fuzz)

"$here/scripts/install-deps.sh"
# Clang and its libFuzzer runtime (Debian 12 packages them apart): a trial link
# tells whether both are there.
links() { echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, long) { return 0; }' |
  clang++ -x c++ -fsanitize=fuzzer -o /dev/null - >/dev/null 2>&1; }
if ! command -v clang++ >/dev/null || ! links; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y clang libclang-rt-14-dev >/dev/null
fi
CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_FUZZ=ON \
  -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=OFF -DKESTREL_WERROR=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

seed() { mkdir -p "$build/$1/corpus"; printf '%s' "$3" >"$build/$1/corpus/$2"; }
seed key_text_fuzz a '+{RIGHT}^(ac){ENTER 3}%{F4}~{{}{}}'
seed action_fuzz a 'hello{ENTER}{CURSOR 10,20}{LEFT CLICK}^c{POSITION 5,5}{PAUSE 0.5}{CURSOR UP}{QUIT}'
seed recognised_text_fuzz a 'cursor one hundred comma two hundred. spell it a b c space 1e3'
seed grammar_file_fuzz a "$(cat "$here/resources/sol.xml")"
seed spoken_text_fuzz a $'\x05\x15Tom &amp; Jerry: <break time="10ms"/> if a<b then c. Mail <ann@x.org>.'

status=0
for target in "${targets[@]}"; do
  cd "$build/$target"
  if "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
    corpus >run.log 2>&1; then
    echo "$target: $(grep -o 'Done [0-9]* runs' run.log | head -1) in $seconds s, no fault"
  else
    echo "$target: FAULT, see $build/$target/run.log and the crash-* input there"
    status=1
  fi
done
exit $status
