# The simulated module's own tests.
ril_add_test(modemsim_dialect_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/modemsim_dialect_test.cpp LIBS modemsim)
ril_add_test(modemsim_module_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/modemsim_module_test.cpp LIBS modemsim)
ril_add_test(modemsim_control_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/modemsim_control_test.cpp LIBS modemsim)
add_dependencies(modemsim_control_test modemsim_program)
