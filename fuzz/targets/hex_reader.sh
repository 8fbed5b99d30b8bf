# The Intel HEX reader and the answer-frame cutting of the firmware download.
target=hex_reader_fuzz
sources=(fuzz/hex_reader_fuzz.cpp "$lib/download.cpp" "$lib/ril_log.cpp")
max_len=8192
seeds=fuzz/corpus/hex_reader
