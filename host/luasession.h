#pragma once
// Adds the session functions and the last run's facts to the script's "host" table:
// host.session_tabs(tabs, selected_id) (tabs: {id=, url=, private=, key=} in strip order;
// key: the one a reopened tab was brought back by),
// host.session_arm() (changes are written from now on), host.session_closing(id) (the
// user closes that tab), host.session_restored(); host.unclean_end, host.crash_loop and
// host.session_selected (the place of the selected tab in host.session, 0: none).
#include <lua.hpp>

#include "host/sessionkeeper.h"

void InstallSessionFunctions(lua_State* L, CSessionKeeper* keeper, const LastRun& last);
