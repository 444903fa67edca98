#pragma once
// Keeping closed tabs for recovery in the data store, for the page engine's hooks.
#include <string>

#include "uicontrol/interfaces/dataaccessor.h"

// Saves a closed tab with the store's "save.recover.tab" command, with its back and
// forward entries (`entryParams`, lines of that command; may be empty). An entry of the
// same address goes first: the list holds each address once.
void SaveClosedTab(IDataAccessor* store, const std::wstring& uuid, const std::wstring& title,
                   const std::wstring& url, const std::wstring& entryParams = std::wstring());
// Takes a saved tab off the list.
void ForgetClosedTab(IDataAccessor* store, const std::wstring& uuid);
// Finds the address of a saved tab by its uuid in the store's recover list and takes the
// entry out (the tab is open again).
bool LookupClosedTab(IDataAccessor* store, const std::wstring& uuid, std::wstring* url);
