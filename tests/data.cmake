# Packet data: the pppd command lines, the dial, the probe, the runner; and
# the data call end to end through the host daemon, the simulated module and
# the platform-program stand-ins.
ril_add_test(data_dialer_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/data_dialer_test.cpp LIBS ril_internal)
add_dependencies(data_dialer_test sysroot-tools)
ril_add_test(data_e2e_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/data_e2e_test.cpp LIBS modemsim)
add_dependencies(data_e2e_test reference-ril host-rild sysroot-tools)
