#pragma once
// The recover list: closed tabs kept under their uuid, newest first (index 0 is the tab
// closed last), at most DataStoreOptions::recoverLimit of them.
#include "components/datastore/commands.h"

namespace datastore {

// One field ("uuid", "title", "url" or "icon") of the entry at index: 1 found, 0 no such
// entry, -1 database error.
int RecoverField(CStoreContext& ctx, int64_t index, const char* field, std::string* value);

// "save.recover.tab": uuid, title, url (and optionally icon); notifies "insert.recover.index".
HRESULT SaveRecoverTab(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "clear.recover.all": uuid empty clears the list, a uuid removes that entry.
HRESULT ClearRecover(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "get.recover.index.section.count": the number of entries in decimal.
HRESULT QueryRecoverCount(CStoreContext& ctx, CCallLog& log, const CParams& params,
                          std::optional<std::wstring>* result);
// "get.recover.index.value": id (hexadecimal index) and key ("uuid", "title" or "url").
HRESULT QueryRecoverValue(CStoreContext& ctx, CCallLog& log, const CParams& params,
                          std::optional<std::wstring>* result);

}  // namespace datastore
