#!/usr/bin/env bash
# Builds the AT-line fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in its own build directory and runs it for a
# bounded time over the seed corpus. Any crash or sanitizer report fails.
# FUZZ_SECONDS overrides the run time (default 60).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-60}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_fuzz: clang++ not found, fuzzing skipped"
  exit 0
fi

mkdir -p "$out/corpus" "$out/artifacts"
lib="$root/hardware/ril/reference-ril"
plat="$root/host/platform"
clang++ -std=c++17 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -Werror -DRIL_HOST_BUILD=1 -DRIL_VERSION=15 \
  -I"$lib" -I"$plat/include" \
  "$here/at_lines_fuzz.cpp" "$lib/at_link.cpp" "$lib/at_reply.cpp" "$lib/ril_log.cpp" \
  "$plat/host_log.cpp" "$plat/host_env.cpp" \
  -lpthread -o "$out/at_lines_fuzz"

echo "run_fuzz: running the AT-line fuzzer for ${seconds}s"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# new inputs go to the build directory; the repository's seeds stay as they are
"$out/at_lines_fuzz" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
  -artifact_prefix="$out/artifacts/" -print_final_stats=1 \
  "$out/corpus" "$here/corpus/at_lines"
# the data call list parsers over the AT reader
clang++ -std=c++17 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -Werror -DRIL_HOST_BUILD=1 -DRIL_VERSION=15 \
  -I"$lib" -I"$plat/include" \
  "$here/data_list_fuzz.cpp" "$lib/ril_data_list.cpp" "$lib/at_link.cpp" "$lib/at_reply.cpp" "$lib/ril_log.cpp" \
  "$plat/host_log.cpp" "$plat/host_env.cpp" \
  -lpthread -o "$out/data_list_fuzz"
mkdir -p "$out/corpus-data-list"
echo "run_fuzz: running the data call list fuzzer for ${seconds}s"
"$out/data_list_fuzz" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
  -artifact_prefix="$out/artifacts/" -print_final_stats=1 \
  "$out/corpus-data-list" "$here/corpus/data_list"
echo "run_fuzz: no crash, no sanitizer report"
