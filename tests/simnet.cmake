# SIM files, facility locks, network selection and preferred mode, vendor and
# OEM requests and their unsolicited lines: handler tests against the
# scripted module, and end to end through the host daemon.
file(GLOB SIMNET_TESTS ${CMAKE_CURRENT_SOURCE_DIR}/simnet_*_test.cpp)
foreach(src ${SIMNET_TESTS})
  get_filename_component(t ${src} NAME_WE)
  if(t MATCHES "_modemsim_test$")
    ril_add_test(${t} SOURCES ${src} LIBS modemsim)
  elseif(t MATCHES "_e2e_test$")
    ril_add_test(${t} SOURCES ${src} LIBS modemsim)
    add_dependencies(${t} reference-ril host-rild)
  else()
    ril_add_test(${t} SOURCES ${src} LIBS ril_internal)
  endif()
endforeach()
