#pragma once
// Icons by page address: remembered from history entries and favourites, answered by
// "get_icon" (always with a holder; an empty text when no icon is known).
#include "components/datastore/commands.h"

namespace datastore {

// Within the caller's transaction; an empty icon or URL remembers nothing.
bool RememberIcon(CStoreContext& ctx, const std::string& url, const std::string& icon, const std::string& date);

// "get_icon": url, and from the recover list also id (hexadecimal index) and key.
HRESULT QueryIcon(CStoreContext& ctx, CCallLog& log, const CParams& params, std::optional<std::wstring>* result);

}  // namespace datastore
