# Registration state, operator, radio technology and signal strength.
# The handler tests need the scripted module peer of the AT-channel work.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/support/scripted_peer.h)
  ril_add_test(registration_handlers_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registration_handlers_test.cpp LIBS ril_internal)
  ril_add_test(signal_handlers_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/signal_handlers_test.cpp LIBS ril_internal)
endif()
