# Registration state, operator, radio technology and signal strength.
ril_add_test(registration_handlers_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registration_handlers_test.cpp LIBS ril_internal)
ril_add_test(signal_handlers_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/signal_handlers_test.cpp LIBS ril_internal)
