#pragma once
// Keeping closed tabs for recovery in the data store, for the page engine's hooks.
#include <string>

#include "uicontrol/interfaces/dataaccessor.h"

// Saves a closed tab with the store's "save.recover.tab" command.
void SaveClosedTab(IDataAccessor* store, const std::wstring& uuid, const std::wstring& title,
                   const std::wstring& url);
// Finds the address of a saved tab by its uuid in the store's recover list.
bool LookupClosedTab(IDataAccessor* store, const std::wstring& uuid, std::wstring* url);
