# AT channel and reply tokenizer.
ril_add_test(at_reply_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/at_reply_test.cpp LIBS ril_internal)
ril_add_test(at_lines_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/at_lines_test.cpp LIBS ril_internal)
ril_add_test(at_channel_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/at_channel_test.cpp LIBS ril_internal)
