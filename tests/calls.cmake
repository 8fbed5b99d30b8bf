# Voice calls: the call list, call control, DTMF, mute, supplementary
# services and the call lines, against the scripted module.
foreach(t calls_list_test calls_control_test calls_lines_test)
  ril_add_test(${t} SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${t}.cpp LIBS ril_internal)
endforeach()
# The simulated module's calls.
ril_add_test(calls_modemsim_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calls_modemsim_test.cpp LIBS modemsim)
# End to end: the host daemon, the real library and the simulated module.
ril_add_test(calls_e2e_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calls_e2e_test.cpp LIBS modemsim)
add_dependencies(calls_e2e_test reference-ril host-rild kvplugin_recorder)
