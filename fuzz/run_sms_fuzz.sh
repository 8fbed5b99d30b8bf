#!/usr/bin/env bash
# Builds and runs the SMS fuzz targets (codec routines; the GSM PDU path of
# the WCDMA and LTE families; the CDMA "^HCMT" parser) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, each for a bounded time.
# Called by run_fuzz.sh; FUZZ_SECONDS sets the time of each target (default 20).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-20}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_sms_fuzz: clang++ not found, fuzzing skipped"
  exit 0
fi

lib="$root/hardware/ril/reference-ril"
plat="$root/host/platform"
flags=(-std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -Wall -Wextra -Werror -DRIL_HOST_BUILD=1 -DRIL_VERSION=15
       -I"$lib" -I"$plat/include")
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

run() {  # name, sources...
  local name="$1"; shift
  mkdir -p "$out/corpus-$name" "$out/artifacts"
  clang++ "${flags[@]}" "$here/$name.cpp" "$@" -lpthread -o "$out/$name"
  echo "run_sms_fuzz: running $name for ${seconds}s"
  "$out/$name" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -artifact_prefix="$out/artifacts/$name-" -print_final_stats=1 \
    "$out/corpus-$name" "$here/corpus/$name"
}

run sms_codec_fuzz "$lib/sms_codec.cpp"

# the PDU path and the "^HCMT" parser need the whole library: its objects once
objs="$out/sms-lib-objs"
mkdir -p "$objs"
libobjs=()
for src in $(sed -n '/set(RIL_LIBRARY_SOURCES/,/)/p' "$lib/sources.cmake" | grep '\.cpp'); do
  o="$objs/${src%.cpp}.o"
  clang++ "${flags[@]/-fsanitize=fuzzer,address,undefined/-fsanitize=fuzzer-no-link,address,undefined}" \
    -c "$lib/$src" -o "$o"
  libobjs+=("$o")
done
run sms_pdu_path_fuzz "${libobjs[@]}" "$plat/host_log.cpp" "$plat/host_env.cpp" "$plat/host_daemon_lib.cpp" -ldl
run sms_hcmt_fuzz "${libobjs[@]}" "$plat/host_log.cpp" "$plat/host_env.cpp" "$plat/host_daemon_lib.cpp" -ldl
echo "run_sms_fuzz: no crash, no sanitizer report"
