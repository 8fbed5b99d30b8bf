# The connection guard's link checks: counters, probes, the family checkers
# and their guard tokens.
ril_add_test(guard_link_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/guard_link_test.cpp LIBS ril_internal)
add_dependencies(guard_link_test sysroot-tools)
# The guard under injected faults, end to end through the host daemon.
ril_add_test(guard_e2e_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/guard_e2e_test.cpp LIBS modemsim)
add_dependencies(guard_e2e_test reference-ril host-rild sysroot-tools modemsim_program)
# The same through a tun in a private network namespace (root only).
ril_add_test(guard_netns_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/guard_netns_test.cpp LIBS modemsim)
add_dependencies(guard_netns_test reference-ril host-rild sysroot-tools)
