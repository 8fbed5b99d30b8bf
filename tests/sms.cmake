# SMS: codecs, sending and storage, reception and acknowledgement.
ril_add_test(sms_codec_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sms_codec_test.cpp LIBS ril_internal)
