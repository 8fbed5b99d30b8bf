# The simulated module: AT dialect engine, pseudo-terminal ports, control
# interface (library modemsim) and the modemsim program.
add_library(modemsim STATIC
  ${CMAKE_CURRENT_LIST_DIR}/module_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/call_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simnet_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simnet_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simulated_module.cpp
  ${CMAKE_CURRENT_LIST_DIR}/control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/data_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/link_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sms_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sms_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ussd_dialect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_replay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bootloader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pty_link.cpp)
target_include_directories(modemsim PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(modemsim PUBLIC modemsim_usb util Threads::Threads)

add_executable(modemsim_program ${CMAKE_CURRENT_LIST_DIR}/modemsim_main.cpp)
set_target_properties(modemsim_program PROPERTIES OUTPUT_NAME modemsim)
target_link_libraries(modemsim_program PRIVATE modemsim)
