# Capture and replay: the library's own log of a session turned into the
# answers of a scripted module.
ril_add_test(replay_capture_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/replay_capture_test.cpp LIBS modemsim)
add_dependencies(replay_capture_test reference-ril host-rild)
