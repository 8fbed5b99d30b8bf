# host-rild --dry-run: what discovery finds in a published USB tree, with
# nothing opened.
ril_add_test(host_rild_dryrun_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/host_rild_dryrun_test.cpp)
add_dependencies(host_rild_dryrun_test reference-ril host-rild)
