# USB discovery, the sysfs tree publisher, module reset and the process helpers.
ril_add_test(discovery_table_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_table_test.cpp
  LIBS ril_internal modemsim_usb)
ril_add_test(discovery_robustness_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_robustness_test.cpp
  LIBS ril_internal modemsim_usb util)
ril_add_test(discovery_usb_tree_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_usb_tree_test.cpp
  LIBS ril_internal modemsim_usb)
ril_add_test(discovery_init_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_init_test.cpp
  LIBS modemsim_usb)
ril_add_test(module_control_reset_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/module_control_reset_test.cpp
  LIBS ril_internal modemsim_usb)
ril_add_test(module_control_process_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/module_control_process_test.cpp
  LIBS ril_internal modemsim_usb util)
