# The host daemon's own output: every answer printed, JSON and console modes.
ril_add_test(host_rild_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/host_rild_test.cpp)
add_dependencies(host_rild_test host-rild fake-ril)
