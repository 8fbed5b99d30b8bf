# The host binder layer's parcel reader and the AT service's command checks.
target=parcel_fuzz
sources=(fuzz/parcel_fuzz.cpp "$plat/binder/parcel.cpp" "$plat/binder/binder.cpp"
         "$lib/at_filter.cpp" "$lib/at_link.cpp" "$lib/at_reply.cpp" "$lib/ril_log.cpp")
extra_flags=(-I"$plat/binder")
max_len=4096
seeds=fuzz/corpus/parcel
