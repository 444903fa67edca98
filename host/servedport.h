#pragma once
// The port at which a profile's served pages live. It is chosen once, at the first start,
// and kept in the profile, so that tabs, bookmarks and history of served pages open
// again after a restart.
#include <string>

// The port kept in `profile`, or 0 when none (or something unreadable) is kept.
int ReadServedPort(const std::string& profile);
// Keeps `port` in `profile`; false when the file cannot be written.
bool WriteServedPort(const std::string& profile, int port);
