# Registration state, operator, radio technology and signal strength.
ril_add_test(registration_handlers_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registration_handlers_test.cpp LIBS ril_internal)
ril_add_test(signal_handlers_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/signal_handlers_test.cpp LIBS ril_internal)
# End to end: the host daemon, the real library and the simulated module.
ril_add_test(network_e2e_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/network_e2e_test.cpp LIBS modemsim)
add_dependencies(network_e2e_test reference-ril host-rild)
