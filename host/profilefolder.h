#pragma once
// What every host does with its profile folder before it starts the components: create
// it, and hold its lock so that one program at a time runs on it.
#include <string>

// Creates `path` and its missing parents (mode 0700); false when one could not be made.
bool MakeFolder(const std::string& path);
// Takes the profile's lock for the life of the process (the descriptor is never inherited
// by child processes); false while another program holds it.
bool LockProfile(const std::string& profile);
