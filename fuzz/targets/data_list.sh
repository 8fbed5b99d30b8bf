# The data call list parsers over the AT reader ("+CGACT:", "+CGDCONT:").
target=data_list_fuzz
sources=(fuzz/data_list_fuzz.cpp "$lib/ril_data_list.cpp" "$lib/at_link.cpp" "$lib/at_reply.cpp" "$lib/ril_log.cpp")
max_len=20000
seeds=fuzz/corpus/data_list
