# Module bytes through the AT reader and the WCDMA or LTE unsolicited table
# into the SMS queue, then the acknowledgements; the whole library.
target=sms_pdu_path_fuzz
sources=(fuzz/sms_pdu_path_fuzz.cpp)
for src in $(sed -n '/set(RIL_LIBRARY_SOURCES/,/)/p' "$lib/sources.cmake" | grep '\.cpp'); do
  sources+=("$lib/$src")
done
# the platform stand-ins the library links: the daemon library, the binder
# layer and the interface configuration
sources+=("$plat/host_daemon_lib.cpp" "$plat/host_ifc.cpp" "$plat/binder/parcel.cpp" "$plat/binder/binder.cpp" -ldl)
extra_flags=(-I"$plat/binder")
max_len=16384
seeds=fuzz/corpus/sms_pdu_path_fuzz
