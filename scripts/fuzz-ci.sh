#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (-DCORVID_FUZZ=ON) in a build
# directory of their own and runs each for a bounded time on a corpus seeded
# from the fixtures and, when the normal build (build/) made them, the
# writer's databases. A crash, a leak, a timeout or running out of memory fails
# the script; the input that caused it is kept under $build/findings/.
#
#   scripts/fuzz-ci.sh [TARGET...]     FUZZ_SECONDS (60), FUZZ_BUILD_DIR (build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_reader fuzz_ole_unwrap fuzz_recognition fuzz_raw_carving)
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

start=$SECONDS
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVID_FUZZ=ON \
  -DCORVID_SUBSYSTEMS="SrcLib;jet;engine" -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
echo "fuzz targets built in $((SECONDS - start)) s"

# Seeds: the real files, and small databases of the writer (Jet 4 and Jet 3).
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/mdb" "$seeds/ole" "$seeds/carving"
cp tests/fixtures/mdb/* "$seeds/mdb/"
cp tests/fixtures/ole/* "$seeds/ole/"
for made in build/samples/sample.mdb build/samples/sample97.mdb; do
  if [ -f "$made" ]; then cp "$made" "$seeds/mdb/"; fi
done
if [ -x build/tools/mkmdb/corvid-mkmdb ]; then
  build/tools/mkmdb/corvid-mkmdb bench "$seeds/mdb/writer4.mdb" --records 12 --blob-kib 2 >/dev/null
  build/tools/mkmdb/corvid-mkmdb bench "$seeds/mdb/writer3.mdb" --records 12 --blob-kib 2 --jet3 >/dev/null
fi
# Carving: a first byte choosing the buffer size, then signatures at buffer ends.
printf '\x03abcII*\x00tiff one II*\x00II*\x00 two\x00II*' >"$seeds/carving/three"
printf '\x3fII*\x00' >"$seeds/carving/one"

run() {
  local target=$1 binary=$2
  shift 2
  local corpus="$build/corpus/$target"
  local log="$build/logs/$target.log"
  mkdir -p "$corpus" "$build/findings" "$build/logs"
  echo "== $target: ${seconds} s (log: $log)"
  # Exit status: 0 when nothing was found; libFuzzer's own status otherwise.
  local status=0
  "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$@" "$corpus" >"$log" 2>&1 || status=$?
  if ((status)); then tail -n 60 "$log"; else grep -E '^stat::|^Done' "$log" || true; fi
  return "$status"
}

status=0
for target in "${targets[@]}"; do
  binary=$(find "$build" -type f -name "$target" -perm -u+x | head -n 1)
  case $target in
    fuzz_reader) run "$target" "$binary" -max_len=600000 "$seeds/mdb" || status=1 ;;
    fuzz_ole_unwrap) run "$target" "$binary" -max_len=200000 "$seeds/ole" || status=1 ;;
    fuzz_recognition) run "$target" "$binary" -max_len=20000 "$seeds/ole" "$seeds/carving" || status=1 ;;
    fuzz_raw_carving) run "$target" "$binary" -max_len=8192 "$seeds/carving" || status=1 ;;
    *) echo "unknown fuzz target $target" >&2; status=1 ;;
  esac
done
if ((status)); then
  echo "fuzzing found faults; inputs in $build/findings/" >&2
fi
exit "$status"
