# The unsolicited dispatch tables: their order, the common start and the walk,
# in-process and through a real AT channel.
ril_add_test(unsolicited_dispatch_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unsolicited_dispatch_test.cpp
  LIBS ril_internal)
