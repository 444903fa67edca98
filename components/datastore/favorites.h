#pragma once
// Favourites: folders (type 0) and items (type 1) in a tree whose root is pid 0.
#include "components/datastore/commands.h"

namespace datastore {

using tunables::kMaxFolderDepth;

// "add_favor": date, icon, pid, title, type, url; notifies "add_favor".
HRESULT AddFavorite(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "update_favor": id and any of title, url, icon, pid; notifies "update_favor".
HRESULT UpdateFavorite(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "del_favor": id (a folder goes with everything in it); notifies "del_favor".
HRESULT DeleteFavorite(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "del_favor_set": ids, comma-separated; notifies "del_favor_set" once.
HRESULT DeleteFavoriteSet(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "query_favor_root_url": the favourites list of one folder (pid, optional type filter).
HRESULT QueryFavoriteList(CStoreContext& ctx, CCallLog& log, const CParams& params,
                          std::optional<std::wstring>* result);
// "get_fav_xml": the favourites folder document, the whole tree.
HRESULT QueryFavoriteTree(CStoreContext& ctx, CCallLog& log, const CParams& params,
                          std::optional<std::wstring>* result);

}  // namespace datastore
