#pragma once
// Keeping closed tabs for recovery in the data store, for the page engine's hooks.
#include <string>

#include "uicontrol/interfaces/dataaccessor.h"

#include <vector>

#include "host/luashell.h"

// Saves a closed tab with the store's "save.recover.tab" command. An entry of the same
// address goes first: the list holds each address once.
void SaveClosedTab(IDataAccessor* store, const std::wstring& uuid, const std::wstring& title,
                   const std::wstring& url);
// Finds the address of a saved tab by its uuid in the store's recover list and takes the
// entry out (the tab is open again).
bool LookupClosedTab(IDataAccessor* store, const std::wstring& uuid, std::wstring* url);

// The tabs open when the shell quit, one per line in a file of the profile.
bool WriteSessionFile(const std::string& path, const std::vector<SessionTab>& tabs);
std::vector<SessionTab> ReadSessionFile(const std::string& path);
