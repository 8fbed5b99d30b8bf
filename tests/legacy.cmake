# The two deliverables side by side: each difference of the legacy library,
# checked from the outside on both builds.
ril_add_test(legacy_differences_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/legacy_differences_test.cpp
  LIBS modemsim ${CMAKE_DL_LIBS})
add_dependencies(legacy_differences_test reference-ril ril-kivo host-rild sysroot-tools)
