# The device's ABI: the sizes and layouts of the records the framework reads
# out of the library's replies. On a 32-bit ARM build they are checked at
# compile time against the board's own sizes.
ril_add_test(abi_record_sizes_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/abi_record_sizes_test.cpp)
