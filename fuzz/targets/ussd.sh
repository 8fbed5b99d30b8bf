# The "+CUSD:" decoder and the collection of a report over several lines.
target=ussd_fuzz
sources=(fuzz/ussd_fuzz.cpp "$lib/ussd.cpp" "$lib/sms_codec.cpp" "$lib/at_link.cpp" "$lib/at_reply.cpp"
         "$lib/ril_log.cpp")
max_len=8192
seeds=fuzz/corpus/ussd_fuzz
