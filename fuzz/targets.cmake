# The fuzz targets (fuzz/targets/<name>.cpp) and the libraries each links. Shared by the
# fuzz build (fuzz/CMakeLists.txt) and the replay test of the normal build (tests/fuzz).
# DOUBLES stands for the test doubles of tests/doubles, which each build provides its way.
set(UICONTROL_FUZZ_TARGETS
  event_text tab_events datastore_commands cdp_messages page_messages round_trips lua_api)

set(UICONTROL_FUZZ_LIBS_event_text uicontrol_obj)
set(UICONTROL_FUZZ_LIBS_tab_events uicontrol_obj DOUBLES)
set(UICONTROL_FUZZ_LIBS_datastore_commands datastore PkgConfig::TINYXML)
set(UICONTROL_FUZZ_LIBS_cdp_messages webpage)
set(UICONTROL_FUZZ_LIBS_page_messages webpage)
set(UICONTROL_FUZZ_LIBS_round_trips uicontrol_obj webpage datastore PkgConfig::TINYXML)
set(UICONTROL_FUZZ_LIBS_lua_api uicontrol_obj hostlua DOUBLES)
