# The handler tables of the built library against the checked-in list.
ril_add_test(handler_tables_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/handler_tables_test.cpp
  LIBS ${CMAKE_DL_LIBS})
add_dependencies(handler_tables_test reference-ril ril_internal_objects)
