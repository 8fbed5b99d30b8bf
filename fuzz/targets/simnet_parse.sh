# The card and operator-list parsers: FCP conversions, the CDMA record-file
# rewrite and the "+COPS=?" list.
target=simnet_parse_fuzz
sources=(fuzz/simnet_parse_fuzz.cpp "$lib/ril_simnet_parse.cpp" "$lib/at_reply.cpp" "$lib/ril_log.cpp")
max_len=4096
seeds=fuzz/corpus/simnet_parse
