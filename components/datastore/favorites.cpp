#include "components/datastore/favorites.h"

#include <map>
#include <vector>

#include "components/datastore/icons.h"
#include "components/datastore/textconv.h"
#include "components/datastore/xmlout.h"

namespace datastore {

namespace {

constexpr int64_t kFolder = 0;
constexpr int64_t kItem = 1;

struct FavRow {
  int64_t id = 0;
  int64_t pid = 0;
  int64_t type = 0;
  std::string title, url, icon, date;
};

// The step limit of the recursive walks, as SQL text (our own number, never a caller's).
const std::string kWalkLimit = std::to_string(tunables::kTreeWalkLimit);

const char kSelectColumns[] = "SELECT id, pid, type, title, url, icon, date FROM favorites ";

FavRow ReadRow(const CStmt& stmt) {
  FavRow row;
  row.id = stmt.Int(0);
  row.pid = stmt.Int(1);
  row.type = stmt.Int(2);
  row.title = stmt.Text(3);
  row.url = stmt.Text(4);
  row.icon = stmt.Text(5);
  row.date = stmt.Text(6);
  return row;
}

TiXmlElement* AppendRow(TiXmlElement* parent, const FavRow& row) {
  TiXmlElement* e = CXmlOut::Add(parent, row.type == kFolder ? "Folder" : "Item");
  CXmlOut::Set(e, "id", row.id);
  CXmlOut::Set(e, "pid", row.pid);
  CXmlOut::Set(e, "type", row.type);
  CXmlOut::Set(e, "title", row.title);
  CXmlOut::Set(e, "url", row.url);
  CXmlOut::Set(e, "icon", row.icon);
  CXmlOut::Set(e, "date", row.date);
  return e;
}

// 1 found (with *row), 0 no such favourite, -1 database error.
int LoadRow(CStoreContext& ctx, int64_t id, FavRow* row) {
  CStmt stmt(ctx.db, std::string(kSelectColumns) + "WHERE id = ?1");
  stmt.Bind(1, id);
  const int rc = stmt.Step();
  if (rc == SQLITE_ROW) {
    *row = ReadRow(stmt);
    return 1;
  }
  return rc == SQLITE_DONE ? 0 : -1;
}

// Levels from the root down to and including the folder (a top-level folder is 1); -1 on error.
int64_t FolderDepth(CStoreContext& ctx, int64_t folder) {
  if (folder == 0) return 0;
  CStmt stmt(ctx.db,
             "WITH RECURSIVE up(id, pid, n) AS (SELECT id, pid, 1 FROM favorites WHERE id = ?1 "
             "UNION ALL SELECT f.id, f.pid, up.n + 1 FROM favorites f JOIN up ON f.id = up.pid WHERE up.n < " +
                 kWalkLimit + ") SELECT COALESCE(MAX(n), 0) FROM up");
  stmt.Bind(1, folder);
  return stmt.Step() == SQLITE_ROW ? stmt.Int(0) : -1;
}

// Folder levels in the subtree of a folder, itself included (1 for a folder without
// subfolders); -1 on error.
int64_t FolderHeight(CStoreContext& ctx, int64_t folder) {
  CStmt stmt(ctx.db,
             "WITH RECURSIVE down(id, n) AS (SELECT ?1, 1 "
             "UNION ALL SELECT f.id, down.n + 1 FROM favorites f JOIN down ON f.pid = down.id "
             "WHERE f.type = 0 AND down.n < " +
                 kWalkLimit + ") SELECT MAX(n) FROM down");
  stmt.Bind(1, folder);
  return stmt.Step() == SQLITE_ROW ? stmt.Int(0) : -1;
}

// 1 when candidate lies in the subtree of root (root included), 0 if not, -1 on error.
int InSubtree(CStoreContext& ctx, int64_t root, int64_t candidate) {
  CStmt stmt(ctx.db,
             "WITH RECURSIVE down(id) AS (SELECT ?1 UNION SELECT f.id FROM favorites f JOIN down ON f.pid = down.id) "
             "SELECT 1 FROM down WHERE id = ?2 LIMIT 1");
  stmt.Bind(1, root).Bind(2, candidate);
  const int rc = stmt.Step();
  return rc == SQLITE_ROW ? 1 : rc == SQLITE_DONE ? 0 : -1;
}

// Checks a parent folder ID. The library sends -1 when no folder was chosen: that is the
// root. Returns S_OK with *parent set, E_INVALIDARG (logged) or E_FAIL (logged).
HRESULT ResolveParent(CStoreContext& ctx, CCallLog& log, int64_t pid, int64_t* parent) {
  if (pid == -1 || pid == 0) {
    *parent = 0;
    return S_OK;
  }
  FavRow row;
  const int found = LoadRow(ctx, pid, &row);
  if (found < 0) return DbFailure(ctx, log, "reading favourites");
  if (found == 0 || row.type != kFolder) {
    log.Warning("parent " + std::to_string(pid) + " is not a folder");
    return E_INVALIDARG;
  }
  *parent = pid;
  return S_OK;
}

// A parent id that can name no folder (negative, other than -1 for the root) is bad
// input, refused before anything is queued.
bool CheckParentId(CCallLog& log, int64_t pid) {
  if (pid < -1) {
    log.Warning("parent folder " + std::to_string(pid) + " does not exist");
    return false;
  }
  return true;
}

// Deletes a favourite with everything under it; returns the number of rows or -1.
int DeleteSubtree(CStoreContext& ctx, int64_t id) {
  CStmt stmt(ctx.db,
             "WITH RECURSIVE down(id) AS (SELECT id FROM favorites WHERE id = ?1 "
             "UNION SELECT f.id FROM favorites f JOIN down ON f.pid = down.id) "
             "DELETE FROM favorites WHERE id IN (SELECT id FROM down)");
  stmt.Bind(1, id);
  if (!stmt.Run()) return -1;
  return sqlite3_changes(ctx.db.Handle());
}

// Title and URL rules shared by add and update: an item needs a URL and shows it when it
// has no title; a folder needs a title and has no URL.
bool CheckTexts(CCallLog& log, int64_t type, std::string* title, std::string* url) {
  if (type == kItem) {
    if (url->empty()) {
      log.Warning("a favourite item needs a url");
      return false;
    }
    if (title->empty()) *title = *url;
  } else {
    if (title->empty()) {
      log.Warning("a favourite folder needs a title");
      return false;
    }
    url->clear();
  }
  return true;
}

void BuildTree(TiXmlElement* parent, int64_t pid, const std::map<int64_t, std::vector<FavRow>>& children,
               int depth) {
  auto it = children.find(pid);
  if (it == children.end() || depth > kMaxFolderDepth) return;
  for (const FavRow& row : it->second) {
    TiXmlElement* e = AppendRow(parent, row);
    if (row.type == kFolder) BuildTree(e, row.id, children, depth + 1);
  }
}

}  // namespace

HRESULT AddFavorite(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  int64_t pid = 0, type = 0;
  if (!RequireDecimal(params, "pid", log, &pid) || !RequireDecimal(params, "type", log, &type)) return E_INVALIDARG;
  if (type != kFolder && type != kItem) {
    log.Warning("parameter \"type\" must be 0 (folder) or 1 (item)");
    return E_INVALIDARG;
  }
  std::string title = TextParam(params, "title");
  std::string url = TextParam(params, "url");
  const std::string icon = TextParam(params, "icon");
  std::string date;
  if (!CheckTexts(log, type, &title, &url) || !DateParam(params, log, &date) || !CheckParentId(log, pid)) {
    return E_INVALIDARG;
  }
  if (ctx.checkOnly) return S_OK;

  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "adding a favourite");
  int64_t parent = 0;
  HRESULT hr = ResolveParent(ctx, log, pid, &parent);
  if (FAILED(hr)) return hr;
  if (type == kFolder) {
    const int64_t depth = FolderDepth(ctx, parent);
    if (depth < 0) return DbFailure(ctx, log, "adding a favourite");
    if (depth + 1 > kMaxFolderDepth) {
      log.Warning("folders nest at most " + std::to_string(kMaxFolderDepth) + " deep");
      return E_INVALIDARG;
    }
  }
  CStmt insert(ctx.db, "INSERT INTO favorites(pid, type, title, url, icon, date) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
  insert.Bind(1, parent).Bind(2, type).Bind(3, title).Bind(4, url).Bind(5, icon).Bind(6, date);
  if (!insert.Run()) return DbFailure(ctx, log, "adding a favourite");
  const int64_t id = sqlite3_last_insert_rowid(ctx.db.Handle());
  if (!RememberIcon(ctx, url, icon, date) || !tx.Commit()) return DbFailure(ctx, log, "adding a favourite");
  ctx.notifier.Post(kNotifyAddFavor, WideNumber(id), WideNumber(parent));
  return S_OK;
}

HRESULT UpdateFavorite(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  int64_t id = 0, pid = 0;
  if (!RequireDecimal(params, "id", log, &id)) return E_INVALIDARG;
  const bool moving = params.Find("pid") != nullptr;
  if (moving && (!RequireDecimal(params, "pid", log, &pid) || !CheckParentId(log, pid))) return E_INVALIDARG;
  if (ctx.checkOnly) return S_OK;
  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "changing a favourite");
  FavRow row;
  const int found = LoadRow(ctx, id, &row);
  if (found < 0) return DbFailure(ctx, log, "changing a favourite");
  if (found == 0) {
    log.Warning("no favourite with id " + std::to_string(id));
    return E_INVALIDARG;
  }
  if (const std::string* v = params.Find("title")) row.title = *v;
  if (const std::string* v = params.Find("url")) row.url = *v;
  if (const std::string* v = params.Find("icon")) row.icon = *v;
  if (!CheckTexts(log, row.type, &row.title, &row.url)) return E_INVALIDARG;
  if (moving) {
    HRESULT hr = ResolveParent(ctx, log, pid, &row.pid);
    if (FAILED(hr)) return hr;
    if (row.type == kFolder) {
      const int inside = InSubtree(ctx, id, row.pid);
      const int64_t depth = FolderDepth(ctx, row.pid);
      const int64_t height = FolderHeight(ctx, id);
      if (inside < 0 || depth < 0 || height < 0) return DbFailure(ctx, log, "changing a favourite");
      if (inside) {
        log.Warning("a folder cannot move into itself");
        return E_INVALIDARG;
      }
      if (depth + height > kMaxFolderDepth) {
        log.Warning("folders nest at most " + std::to_string(kMaxFolderDepth) + " deep");
        return E_INVALIDARG;
      }
    }
  }
  CStmt update(ctx.db, "UPDATE favorites SET pid = ?2, title = ?3, url = ?4, icon = ?5 WHERE id = ?1");
  update.Bind(1, id).Bind(2, row.pid).Bind(3, row.title).Bind(4, row.url).Bind(5, row.icon);
  if (!update.Run() || !RememberIcon(ctx, row.url, row.icon, NowDate()) || !tx.Commit()) {
    return DbFailure(ctx, log, "changing a favourite");
  }
  ctx.notifier.Post(kNotifyUpdateFavor, WideNumber(id), WideNumber(row.pid));
  return S_OK;
}

HRESULT DeleteFavorite(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  int64_t id = 0;
  if (!RequireDecimal(params, "id", log, &id)) return E_INVALIDARG;
  if (ctx.checkOnly) return S_OK;
  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "deleting a favourite");
  const int removed = DeleteSubtree(ctx, id);
  if (removed < 0 || !tx.Commit()) return DbFailure(ctx, log, "deleting a favourite");
  if (removed == 0) {
    log.Warning("no favourite with id " + std::to_string(id));
    return S_FALSE;
  }
  ctx.notifier.Post(kNotifyDelFavor, WideNumber(id), WideNumber(removed));
  return S_OK;
}

HRESULT DeleteFavoriteSet(CStoreContext& ctx, CCallLog& log, const CParams& params) {
  const std::string* list = params.Find("ids");
  if (!list || list->empty()) {
    log.Warning("parameter \"ids\" is missing or empty");
    return E_INVALIDARG;
  }
  std::vector<int64_t> ids;
  size_t pos = 0;
  while (pos <= list->size()) {
    size_t comma = list->find(',', pos);
    if (comma == std::string::npos) comma = list->size();
    int64_t id = 0;
    if (!ParseDecimal(list->substr(pos, comma - pos), &id)) {
      log.Warning("parameter \"ids\" must be decimal ids separated by commas");
      return E_INVALIDARG;
    }
    ids.push_back(id);
    pos = comma + 1;
  }
  if (ctx.checkOnly) return S_OK;
  CTransaction tx(ctx.db);
  if (!tx.Begun()) return DbFailure(ctx, log, "deleting favourites");
  std::wstring deleted;
  for (int64_t id : ids) {
    const int removed = DeleteSubtree(ctx, id);
    if (removed < 0) return DbFailure(ctx, log, "deleting favourites");
    if (removed > 0) deleted += (deleted.empty() ? L"" : L",") + WideNumber(id);
  }
  if (!tx.Commit()) return DbFailure(ctx, log, "deleting favourites");
  if (deleted.empty()) {
    log.Warning("none of the favourites exists");
    return S_FALSE;
  }
  ctx.notifier.Post(kNotifyDelFavorSet, deleted);
  return S_OK;
}

HRESULT QueryFavoriteList(CStoreContext& ctx, CCallLog& log, const CParams& params,
                          std::optional<std::wstring>* result) {
  int64_t pid = 0;
  if (params.Find("pid") && !RequireDecimal(params, "pid", log, &pid)) return E_INVALIDARG;
  if (pid == -1) pid = 0;
  int64_t type = -1;
  if (params.Find("type")) {
    if (!RequireDecimal(params, "type", log, &type)) return E_INVALIDARG;
    if (type != kFolder && type != kItem) {
      log.Warning("parameter \"type\" must be 0 (folder) or 1 (item)");
      return E_INVALIDARG;
    }
  }
  CXmlOut xml("FavoriteList");
  CXmlOut::Set(xml.Root(), "pid", pid);
  if (type >= 0) CXmlOut::Set(xml.Root(), "type", type);
  CStmt stmt(ctx.db, std::string(kSelectColumns) + "WHERE pid = ?1 AND (?2 < 0 OR type = ?2) ORDER BY id");
  stmt.Bind(1, pid).Bind(2, type);
  int rc;
  while ((rc = stmt.Step()) == SQLITE_ROW) AppendRow(xml.Root(), ReadRow(stmt));
  if (rc != SQLITE_DONE) return DbFailure(ctx, log, "reading favourites");
  *result = xml.Print();
  return S_OK;
}

HRESULT QueryFavoriteTree(CStoreContext& ctx, CCallLog& log, const CParams&, std::optional<std::wstring>* result) {
  std::map<int64_t, std::vector<FavRow>> children;
  CStmt stmt(ctx.db, std::string(kSelectColumns) + "ORDER BY id");
  int rc;
  while ((rc = stmt.Step()) == SQLITE_ROW) {
    FavRow row = ReadRow(stmt);
    children[row.pid].push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) return DbFailure(ctx, log, "reading favourites");
  CXmlOut xml("Favorites");
  BuildTree(xml.Root(), 0, children, 1);
  *result = xml.Print();
  return S_OK;
}

}  // namespace datastore
