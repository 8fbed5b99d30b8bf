# USSD and SIM toolkit: the requests of the three families, the "+CUSD:"
# decoder and its collection over several lines, against the scripted module.
ril_add_test(ussd_requests_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ussd_requests_test.cpp LIBS ril_internal)
# End to end: the host daemon, the real library and the simulated module.
ril_add_test(ussd_e2e_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ussd_e2e_test.cpp LIBS modemsim)
add_dependencies(ussd_e2e_test reference-ril host-rild)
# The host daemon's decoding of the USSD report.
ril_add_test(ussd_console_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ussd_console_test.cpp
  ${PROJECT_SOURCE_DIR}/host/rild/ussd_codec.cpp)
target_include_directories(ussd_console_test PRIVATE ${PROJECT_SOURCE_DIR}/host/rild)
