# SIM status and PIN, subscriber and device identity, radio power and screen
# state: handler tests against the scripted module.
foreach(t sim_status_test sim_pin_test sim_poll_test identity_requests_test radio_power_requests_test)
  ril_add_test(${t} SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${t}.cpp LIBS ril_internal)
endforeach()

# End to end: the host daemon, the real library and the simulated module.
ril_add_test(sim_daemon_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sim_daemon_test.cpp LIBS modemsim)
add_dependencies(sim_daemon_test reference-ril host-rild)
