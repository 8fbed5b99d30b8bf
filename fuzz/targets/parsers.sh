# The pure reply parsers (+CSQ, +CPIN, +COPS, ^SYSINFO, +SERVERINFO).
target=parsers_fuzz
sources=(fuzz/parsers_fuzz.cpp "$lib/ril_parsers.cpp" "$lib/at_reply.cpp" "$lib/ril_at_text.cpp" "$lib/ril_log.cpp")
max_len=10000
seeds=fuzz/corpus/parsers
