#!/usr/bin/env bash
# Builds and runs the USSD fuzz target (the "+CUSD:" decoder and the
# collection of a report over several lines) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer for a bounded time.
# Called by run_fuzz.sh; FUZZ_SECONDS sets the time (default 20).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-20}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_ussd_fuzz: clang++ not found, fuzzing skipped"
  exit 0
fi

lib="$root/hardware/ril/reference-ril"
plat="$root/host/platform"
mkdir -p "$out/corpus-ussd_fuzz" "$out/artifacts"
clang++ -std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=all -Wall -Wextra -Werror -DRIL_HOST_BUILD=1 -DRIL_VERSION=15 \
  -I"$lib" -I"$plat/include" \
  "$here/ussd_fuzz.cpp" "$lib/ussd.cpp" "$lib/sms_codec.cpp" "$lib/at_link.cpp" "$lib/at_reply.cpp" \
  "$lib/ril_log.cpp" "$plat/host_log.cpp" "$plat/host_env.cpp" \
  -lpthread -o "$out/ussd_fuzz"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export RIL_LOG="${RIL_LOG:-/dev/null}"
echo "run_ussd_fuzz: running ussd_fuzz for ${seconds}s"
"$out/ussd_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
  -artifact_prefix="$out/artifacts/ussd_fuzz-" -print_final_stats=1 \
  "$out/corpus-ussd_fuzz" "$here/corpus/ussd_fuzz"
echo "run_ussd_fuzz: no crash, no sanitizer report"
