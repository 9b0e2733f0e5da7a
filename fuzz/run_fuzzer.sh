#!/usr/bin/env bash
# Builds the picture fuzzer with clang's libFuzzer in a build directory of its own, and runs it.
#   run_fuzzer.sh build BUILD_DIR                  configure and build only
#   run_fuzzer.sh run   BUILD_DIR SECONDS SCRATCH  build, then fuzz for SECONDS
#   run_fuzzer.sh check BUILD_DIR SECONDS SCRATCH  the same from an empty SCRATCH, without
#                                                  building (the test build has built it)
#   run_fuzzer.sh merge BUILD_DIR SCRATCH          add to fuzz/corpus the inputs of
#                                                  SCRATCH/corpus that reach new code
# A run only reads fuzz/corpus: inputs it finds new go into SCRATCH/corpus, an input that
# fails into SCRATCH/artifacts (reproduce with: BUILD_DIR/picture_fuzzer FILE).
# FUZZ_JOBS sets the compile jobs (default 2).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
mode=${1:?mode: build, run or merge}
build=${2:?build directory}

# Configured once; the build then brings it up to date. `check` runs what the test build made.
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
[ "$mode" = check ] || cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target picture_fuzzer

fuzzer=$build/picture_fuzzer
case $mode in
  build) ;;
  run|check)
    seconds=${3:?seconds}
    scratch=${4:?scratch directory}
    [ "$mode" = check ] && rm -rf "$scratch"
    mkdir -p "$scratch/corpus" "$scratch/artifacts"
    # The first corpus directory is the one written to.
    "$fuzzer" -max_total_time="$seconds" -max_len=1280 -timeout=10 -rss_limit_mb=2048 \
      -use_value_profile=1 -print_final_stats=1 -artifact_prefix="$scratch/artifacts/" \
      "$scratch/corpus" "$here/corpus"
    ;;
  merge)
    scratch=${3:?scratch directory}
    "$fuzzer" -merge=1 -max_len=1280 "$here/corpus" "$scratch/corpus"
    ;;
  *) echo "run_fuzzer.sh: unknown mode $mode" >&2; exit 2 ;;
esac
