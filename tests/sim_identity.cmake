# SIM status and PIN, subscriber and device identity, radio power and screen
# state: handler tests against the scripted module.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/support/scripted_peer.h)
  foreach(t sim_status_test sim_pin_test sim_poll_test identity_requests_test radio_power_requests_test)
    ril_add_test(${t} SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${t}.cpp LIBS ril_internal)
  endforeach()
endif()
