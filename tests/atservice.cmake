# The AT service, its host binder layer, the AT filter and the plug-in events.
ril_add_test(atservice_e2e_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/atservice_e2e_test.cpp LIBS modemsim)
add_dependencies(atservice_e2e_test reference-ril host-rild ril-at kvplugin_recorder)
ril_add_test(atservice_filter_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/atservice_filter_test.cpp LIBS ril_internal)
add_dependencies(atservice_filter_test kvplugin_recorder)
ril_add_test(atservice_binder_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/atservice_binder_test.cpp LIBS ril_host_binder)
