# Firmware and NV download: the routines against a raw peer, whole flashes
# against the simulated bootloader, the NV download of the legacy library.
ril_add_test(firmware_frames_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware_frames_test.cpp LIBS ril_internal)
ril_add_test(firmware_flash_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware_flash_test.cpp
  LIBS ril_internal modemsim)
add_dependencies(firmware_flash_test ril-flash)
# the NV download lives in the legacy deliverable only: loaded as it is
ril_add_test(firmware_nv_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware_nv_test.cpp LIBS modemsim)
add_dependencies(firmware_nv_test ril-kivo reference-ril)
