# Main loops, channel recovery and initialization, end to end.
ril_add_test(lifecycle_e2e_test SOURCES lifecycle_e2e_test.cpp LIBS modemsim)
add_dependencies(lifecycle_e2e_test reference-ril host-rild)
ril_add_test(lifecycle_internal_test SOURCES lifecycle_internal_test.cpp LIBS ril_internal)
