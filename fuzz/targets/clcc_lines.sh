# The call-list parser over the module's answer to "AT+CLCC".
target=clcc_lines_fuzz
sources=(fuzz/clcc_lines_fuzz.cpp "$lib/ril_clcc.cpp" "$lib/at_link.cpp" "$lib/at_reply.cpp" "$lib/ril_log.cpp")
max_len=20000
seeds=fuzz/corpus/clcc_lines
