#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a given number of seconds on its saved corpus.
#
# Usage: fuzz/run.sh SECONDS [TARGET...]      run each target (default: all) for SECONDS
#        fuzz/run.sh --save [TARGET...]        minimise the corpora (inputs of at most 2 KiB) into
#                                              fuzz/corpus/TARGET
#        fuzz/run.sh --build                   only build
# New inputs go to fuzz/work/corpus/TARGET (git-ignored); findings to fuzz/work/artifacts/TARGET.
# Exits non-zero when a target finds a crash, leak, hang or sanitizer report.
# FUZZ_BUILD_DIR chooses the build directory (default: fuzz/work/build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz="$root/fuzz"
work="$fuzz/work"
. "$root/scripts/deps.sh"
need_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

all_targets=(fuzz_pdb fuzz_mol2 fuzz_cif fuzz_cli fuzz_selection fuzz_poses)
build="${FUZZ_BUILD_DIR:-$work/build}"

build_targets() {
  cmake -S "$fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "${all_targets[@]}"
}

# libFuzzer options of every run, in the array `options`: one process, inputs of at most 8 or
# 16 KiB, findings within 10 s and 4 GiB.
set_options() {
  local target=$1 max_len=8192
  [ "$target" = fuzz_cli ] && max_len=16384
  mkdir -p "$work/artifacts/$target"
  options=(-rss_limit_mb=4096 -timeout=10 -max_len="$max_len" -close_fd_mask=3
    -print_final_stats=1 -dict="$fuzz/dict/$target.dict"
    -artifact_prefix="$work/artifacts/$target/")
}

mode=run
case "${1:-}" in
  --save) mode=save; shift ;;
  --build) mode=build; shift ;;
  ''|-*) echo "usage: $0 SECONDS [TARGET...] | --save [TARGET...] | --build" >&2; exit 2 ;;
  *) seconds=$1; shift ;;
esac
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

build_targets
[ "$mode" = build ] && exit 0

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
  saved="$fuzz/corpus/$target"
  regressions="$fuzz/regressions/$target"
  mkdir -p "$work/corpus/$target" "$saved" "$regressions"
  set_options "$target"
  if [ "$mode" = save ]; then
    # Only inputs of a few KiB are kept, which keeps the saved corpora small.
    fresh="$work/merged/$target"
    small="$work/small/$target"
    rm -rf "$fresh" "$small" && mkdir -p "$fresh" "$small"
    limit=2048
    for dir in "$saved" "$work/corpus/$target"; do
      # Inputs are named by their content: a name met twice is the same input.
      find "$dir" -type f -size -$((limit + 1))c -exec cp -n -t "$small" {} +
    done
    "$build/$target" "${options[@]}" -merge=1 "$fresh" "$small"
    rm -rf "$saved" && mv "$fresh" "$saved"
    echo "== $target: $(find "$saved" -type f | wc -l) inputs, $(du -sh "$saved" | cut -f1) saved"
    continue
  fi
  echo "== $target: regression cases"
  # Each saved finding must now run clean.
  if [ -n "$(ls -A "$regressions")" ]; then
    "$build/$target" "${options[@]}" "$regressions"/* || status=1
  fi
  echo "== $target: fuzzing for $seconds s"
  if ! "$build/$target" "${options[@]}" -max_total_time="$seconds" \
      "$work/corpus/$target" "$saved" "$regressions"; then
    echo "== $target: FINDING, see $work/artifacts/$target/" >&2
    status=1
  fi
done
exit $status
