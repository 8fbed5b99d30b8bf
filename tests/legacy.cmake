# The two deliverables side by side: each difference of the legacy library,
# checked from the outside on both builds.
ril_add_test(legacy_differences_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/legacy_differences_test.cpp
  LIBS modemsim ${CMAKE_DL_LIBS})
add_dependencies(legacy_differences_test reference-ril ril-kivo host-rild sysroot-tools)

# The shared end-to-end suites run once more against lib-ril-kivo.so, so the
# legacy build cannot rot: the same programs with RIL_TEST_LIBRARY=legacy
# (the harness's default library), their tests named "legacy:...". Expected
# legacy differences are handled in the tests (riltest::testingLegacy()).
# Registered after every area's file has made its programs. The test command
# runs the whole suite once, under the sanitizers, so these run there too.
set(RIL_LEGACY_SUITES lifecycle_e2e_test network_e2e_test ussd_e2e_test sms_e2e_test calls_e2e_test
  data_e2e_test)
# Left out, to keep the whole run in its time: the long soak and time-out
# cases, whose code the two builds share unchanged.
set(RIL_LEGACY_LEFT_OUT "Families/GsmCalls.NetworkEndWithStatus29RedialsAndAnIdleOneDoesNot/*:Lifecycle.LteNineTimeOutsResetTheModule:CdmaCall.ACallPausesTheSignalPollAndItsEndResumesIt:Cycles.TwentySetUpsAndDeactivationsLeaveThreadsAndDescriptorsFlat")
function(ril_register_legacy_suites)
  foreach(t ${RIL_LEGACY_SUITES})
    gtest_discover_tests(${t} TEST_PREFIX "legacy:" DISCOVERY_TIMEOUT 60 TEST_FILTER "-${RIL_LEGACY_LEFT_OUT}"
      PROPERTIES TIMEOUT 120 ENVIRONMENT RIL_TEST_LIBRARY=legacy)
    add_dependencies(${t} ril-kivo)
  endforeach()
endfunction()
cmake_language(DEFER CALL ril_register_legacy_suites)
