# The character-set and PDU codec routines.
target=sms_codec_fuzz
sources=(fuzz/sms_codec_fuzz.cpp "$lib/sms_codec.cpp")
max_len=8192
seeds=fuzz/corpus/sms_codec_fuzz
