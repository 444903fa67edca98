#include "components/datastore/datastore.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "components/datastore/logger.h"
#include "components/datastore/store.h"

namespace datastore {

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  std::vector<char> buffer(tunables::kPasswdBufferBytes);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return std::string();
}

// mkdir -p for the folders of the default path (private to the user).
bool MakeFolders(const std::string& folder, std::string* error) {
  for (size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/') continue;
    const std::string part = folder.substr(0, pos);
    if (mkdir(part.c_str(), tunables::kDataFolderMode) != 0 && errno != EEXIST) {
      *error = "cannot create folder \"" + part + "\": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

}  // namespace

std::string DefaultDatabasePath() {
  std::string base;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  // Relative values are to be ignored.
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return std::string();
    base = home + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/" + tunables::kDefaultFolderName + "/" + tunables::kDefaultFileName;
}

HRESULT CreateDataStore(const DataStoreOptions& options, IDataAccessor** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  DataStoreOptions resolved = options;
  if (resolved.databasePath.empty()) {
    const CLogger logger(options.logSink);
    resolved.databasePath = DefaultDatabasePath();
    if (resolved.databasePath.empty()) {
      logger.Write(LogLevel::Error, "no database path given and no home folder known");
      return E_FAIL;
    }
    std::string error;
    const std::string folder = resolved.databasePath.substr(0, resolved.databasePath.rfind('/'));
    if (!MakeFolders(folder, &error)) {
      logger.Write(LogLevel::Error, error);
      return E_FAIL;
    }
  }
  try {
    CDataStore* store = CDataStore::Open(resolved);
    if (!store) return E_FAIL;
    *out = static_cast<IDataAccessor*>(store);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace datastore
