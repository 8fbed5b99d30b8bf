# The AT line reader and the reply tokenizer.
target=at_lines_fuzz
sources=(fuzz/at_lines_fuzz.cpp "$lib/at_link.cpp" "$lib/at_reply.cpp" "$lib/ril_log.cpp")
max_len=20000
seeds=fuzz/corpus/at_lines
