# Every request with hostile values, end to end.
ril_add_test(robustness_e2e_test SOURCES robustness_e2e_test.cpp LIBS modemsim)
add_dependencies(robustness_e2e_test reference-ril host-rild)
