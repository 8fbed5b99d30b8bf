# The library's source list, shared by both deliverables. Android.bp carries
# the same list; a test fails when the two drift apart.
set(RIL_LIBRARY_SOURCES
  3g_guard.cpp
  at_filter.cpp
  at_link.cpp
  at_reply.cpp
  icmp_probe.cpp
  module_control.cpp
  placeholders.cpp
  ppp_dialer.cpp
  reference-ril.cpp
  reference-ril_lte.cpp
  reference-ril_wcdma.cpp
  ril_data_call.cpp
  ril_data_list.cpp
  ril_identity.cpp
  ril_lifecycle.cpp
  ril_log.cpp
  ril_radio_power.cpp
  ril_registration.cpp
  ril_signal.cpp
  ril_sim.cpp
  ril_unsolicited.cpp
  usb_discovery.cpp
)
