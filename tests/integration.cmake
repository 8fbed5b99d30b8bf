# The integration guide: its table of system properties against the
# property names the library's sources use.
ril_add_test(integration_guide_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration_guide_test.cpp)
