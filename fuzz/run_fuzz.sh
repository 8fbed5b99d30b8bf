#!/usr/bin/env bash
# Builds every fuzz target described in fuzz/targets/*.sh with clang
# (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in its own build
# directory and runs each for a bounded time over its seed corpus. Any crash
# or sanitizer report fails.
#
# A target file sets: target (program name), sources (array; "$lib" is the
# library folder, "$plat" the host platform folder, other paths are from the
# repository root; the host log and environment stand-ins are always added),
# max_len, seeds (seed corpus folder), and optionally extra_flags (array) and
# env (array of NAME=value for the run).
#
# FUZZ_SECONDS is the whole time budget (default 180), shared evenly by the
# targets with at least FUZZ_MIN_SECONDS (default 15) each; FUZZ_TARGETS
# (blank-separated names) runs only those.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
budget="${FUZZ_SECONDS:-180}"
min_each="${FUZZ_MIN_SECONDS:-15}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_fuzz: clang++ not found, fuzzing skipped"
  exit 0
fi

lib="$root/hardware/ril/reference-ril"
plat="$root/host/platform"
files=()
for f in "$here"/targets/*.sh; do
  name="$(basename "$f" .sh)"
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $name "* ]]; then continue; fi
  files+=("$f")
done
[ ${#files[@]} -gt 0 ] || { echo "run_fuzz: no target"; exit 1; }
each=$(( budget / ${#files[@]} ))
[ "$each" -ge "$min_each" ] || each="$min_each"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cd "$root"
for f in "${files[@]}"; do
  target="" sources=() max_len=4096 seeds="" extra_flags=() env=()
  # shellcheck source=/dev/null
  source "$f"
  mkdir -p "$out/corpus-$target" "$out/artifacts"
  clang++ -std=c++17 -g -O1 -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -Wall -Wextra -Werror -DRIL_HOST_BUILD=1 -DRIL_VERSION=15 \
    -I"$lib" -I"$plat/include" "${extra_flags[@]}" \
    "${sources[@]}" "$plat/host_log.cpp" "$plat/host_env.cpp" \
    -lpthread -o "$out/$target"
  echo "run_fuzz: running $target for ${each}s"
  # new inputs go to the build directory; the repository's seeds stay as they are
  env RIL_LOG=/dev/null "${env[@]}" "$out/$target" -max_total_time="$each" -max_len="$max_len" \
    -timeout=10 -artifact_prefix="$out/artifacts/$target-" -print_final_stats=1 \
    "$out/corpus-$target" ${seeds:+"$root/$seeds"}
done
echo "run_fuzz: no crash, no sanitizer report"
