# The connection guard's link checks: counters, probes, the family checkers
# and their guard tokens.
ril_add_test(guard_link_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/guard_link_test.cpp LIBS ril_internal)
add_dependencies(guard_link_test sysroot-tools)
