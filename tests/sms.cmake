# SMS: codecs, sending and storage, reception and acknowledgement.
ril_add_test(sms_codec_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sms_codec_test.cpp LIBS ril_internal)
ril_add_test(sms_handlers_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sms_handlers_test.cpp LIBS ril_internal)
ril_add_test(sms_receive_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sms_receive_test.cpp LIBS ril_internal)
# End to end: the host daemon, the real library and the simulated module.
ril_add_test(sms_e2e_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sms_e2e_test.cpp LIBS modemsim)
add_dependencies(sms_e2e_test reference-ril host-rild)
