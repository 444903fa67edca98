#pragma once
// Search engines: a list with exactly one default engine.
#include "components/datastore/commands.h"

namespace datastore {

// "query_search_all_ui": the search engine list document.
HRESULT QuerySearchEngines(CStoreContext& ctx, CCallLog& log, const CParams& params,
                           std::optional<std::wstring>* result);
// "set_search_default": id; notifies "set_search_default".
HRESULT SetDefaultSearch(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "business_search_id": the engine a distribution wants as default, or "-1".
HRESULT QueryBusinessSearch(CStoreContext& ctx, CCallLog& log, const CParams& params,
                            std::optional<std::wstring>* result);

}  // namespace datastore
