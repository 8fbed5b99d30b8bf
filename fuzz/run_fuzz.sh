#!/usr/bin/env bash
# Builds every fuzz target described in fuzz/targets/*.sh with clang
# (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in its own build
# directory and runs each for a bounded time over its seed corpus. Any crash
# or sanitizer report fails.
#
# A target file sets: target (program name), sources (array; "$lib" is the
# library folder, "$plat" the host platform folder, other paths are from the
# repository root; entries starting with "-" are link options; the host log
# and environment stand-ins are always added), max_len, seeds (seed corpus
# folder), and optionally extra_flags (array) and env (array of NAME=value for
# the run).
#
# Each source file is compiled once, whatever number of targets use it, on
# every core; the targets then run side by side, one per core.
#
# FUZZ_SECONDS is the whole time budget in wall-clock seconds (default 120),
# shared evenly by the targets with at least FUZZ_MIN_SECONDS (default 10)
# each; FUZZ_JOBS (default: the number of cores) targets run at once;
# FUZZ_TARGETS (blank-separated names) runs only those.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
budget="${FUZZ_SECONDS:-120}"
min_each="${FUZZ_MIN_SECONDS:-10}"
jobs="${FUZZ_JOBS:-$(nproc)}"

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
rounds=$(( (${#files[@]} + jobs - 1) / jobs ))
each=$(( budget / rounds ))
[ "$each" -ge "$min_each" ] || each="$min_each"

cd "$root"
mkdir -p "$out/obj" "$out/artifacts" "$out/logs"

# One object per source path; the object's name is the path with "/" as "_".
object_of() { local rel="${1#"$root"/}"; echo "$out/obj/${rel//\//_}.o"; }

# Gather every target's sources and include folders.
declare -A all_sources=()
include_flags=()
for f in "${files[@]}"; do
  target="" sources=() extra_flags=()
  # shellcheck source=/dev/null
  source "$f"
  for s in "${sources[@]}" "$plat/host_log.cpp" "$plat/host_env.cpp"; do
    [[ "$s" == -* ]] || all_sources["$s"]=1
  done
  for x in "${extra_flags[@]}"; do include_flags+=("$x"); done
done

cxxflags=(-std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined
          -fno-sanitize-recover=all -Wall -Wextra -Werror -DRIL_HOST_BUILD=1 -DRIL_VERSION=15
          -I"$lib" -I"$plat/include" "${include_flags[@]}")
echo "run_fuzz: compiling ${#all_sources[@]} sources on $jobs cores"
compile_one() {
  local src="$1" obj
  obj="$(object_of "$src")"
  clang++ "${cxxflags[@]}" -c "$src" -o "$obj" || { echo "run_fuzz: compiling $src failed"; return 255; }
}
export -f compile_one object_of
export root out
# the flags go through the environment as one line; no flag holds a blank
printf '%s\0' "${!all_sources[@]}" |
  RUN_FUZZ_CXXFLAGS="${cxxflags[*]}" xargs -0 -n1 -P"$jobs" bash -c \
    'read -r -a cxxflags <<<"$RUN_FUZZ_CXXFLAGS"; compile_one "$1"' _

# Link every target.
for f in "${files[@]}"; do
  target="" sources=()
  # shellcheck source=/dev/null
  source "$f"
  objects=() link_flags=()
  for s in "${sources[@]}" "$plat/host_log.cpp" "$plat/host_env.cpp"; do
    if [[ "$s" == -* ]]; then link_flags+=("$s"); else objects+=("$(object_of "$s")"); fi
  done
  clang++ -fsanitize=fuzzer,address,undefined "${objects[@]}" "${link_flags[@]}" -lpthread \
    -o "$out/$target"
done

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# run_one FILE: one target for its share of the budget; its output goes to its
# log, shown in full when it fails.
run_one() {
  local f="$1" target="" seeds="" max_len=4096 env=() log
  # shellcheck source=/dev/null
  source "$f"
  mkdir -p "$out/corpus-$target"
  log="$out/logs/$target.log"
  # new inputs go to the build directory; the repository's seeds stay as they are
  if env RIL_LOG=/dev/null "${env[@]}" "$out/$target" -max_total_time="$each" -max_len="$max_len" \
       -timeout=10 -artifact_prefix="$out/artifacts/$target-" -print_final_stats=1 \
       "$out/corpus-$target" ${seeds:+"$root/$seeds"} >"$log" 2>&1; then
    echo "run_fuzz: $target ran ${each}s: $(grep -m1 '^stat::number_of_executed_units' "$log" || true)"
  else
    echo "run_fuzz: $target FAILED"; cat "$log"; return 255
  fi
}
export -f run_one
export each lib plat
echo "run_fuzz: running ${#files[@]} targets, $jobs at a time, ${each}s each"
printf '%s\0' "${files[@]}" | xargs -0 -n1 -P"$jobs" bash -c 'run_one "$1"' _
echo "run_fuzz: no crash, no sanitizer report"
