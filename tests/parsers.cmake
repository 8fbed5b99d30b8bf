# The pure parsers of module reply lines.
ril_add_test(parsers_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/parsers_test.cpp LIBS ril_internal)
