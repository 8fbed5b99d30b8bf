# Library entry, request dispatch, radio state, logging and the host daemon.
ril_add_test(foundation_dispatch_test SOURCES foundation_dispatch_test.cpp LIBS ril_internal)
ril_add_test(foundation_log_test SOURCES foundation_log_test.cpp LIBS ril_internal)
ril_add_test(foundation_daemon_test SOURCES foundation_daemon_test.cpp)
add_dependencies(foundation_daemon_test reference-ril ril-kivo host-rild kvplugin_recorder fake-ril)

# A minimal RIL library for testing the host daemon itself (timed callbacks,
# process restarts), independent of the real library's progress.
add_library(fake-ril SHARED fixtures/fake_ril.cpp)
target_include_directories(fake-ril PRIVATE ${PROJECT_SOURCE_DIR}/hardware/ril/reference-ril)
