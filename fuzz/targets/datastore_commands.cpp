// Data store commands with any name and parameter text, on a fresh database per input.
// Besides not crashing: no call may end in an error entry (a database error or an escaped
// exception, on a healthy file), every document a query answers must parse as XML, and
// the parameter reader's helpers must agree with their own output.
//
// Input: calls separated by NUL bytes, each "<op>name<TAB>text" where op is 's' (SetData),
// 'q' (QueryData) or 'g' (GetData, then FreeData); any other first byte is a SetData of
// the whole name.
#include <stdlib.h>
#include <tinyxml.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <filesystem>
#include <string>
#include <vector>

#include "components/datastore/datastore.h"
#include "components/datastore/params.h"
#include "fuzz/fuzzinput.h"

namespace {

// A folder of its own, on a memory file system when there is one.
class CTempFolder {
 public:
  CTempFolder() {
    const char* bases[] = {"/dev/shm", getenv("TMPDIR"), "/tmp"};
    for (const char* base : bases) {
      if (!base || access(base, W_OK) != 0) continue;
      std::string pattern = std::string(base) + "/uicontrol-fuzz-XXXXXX";
      if (mkdtemp(pattern.data())) {
        m_path = pattern;
        return;
      }
    }
    fuzz::Fail(__FILE__, __LINE__, "mkdtemp", "no writable temporary folder");
  }
  ~CTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

bool IsDocumentQuery(const std::wstring& name) {
  return name == L"query_favor_root_url" || name == L"get_fav_xml" || name == L"query_search_all_ui" ||
         name == L"query_his";
}

// The reader's helpers on every value of a parameter text.
void CheckParams(const std::wstring& text) {
  const datastore::CParams params = datastore::ParseParams(text.c_str());
  for (const auto& entry : params.values) {
    FUZZ_CHECK(!entry.first.empty(), "a parameter without a name");
    FUZZ_CHECK(entry.first.find_first_of("=\n") == std::string::npos, entry.first);
    FUZZ_CHECK(entry.second.find('\n') == std::string::npos, entry.second);
    std::string date, again;
    if (datastore::NormalizeDate(entry.second, &date)) {
      // A normalised date is a date, and normalising it changes nothing.
      FUZZ_CHECK(date.size() == 19, date);
      FUZZ_CHECK(datastore::NormalizeDate(date, &again) && again == date, date);
    }
    int64_t number = 0;
    if (datastore::ParseDecimal(entry.second, &number)) {
      FUZZ_CHECK(std::to_string(number) == entry.second || entry.second[0] == '0' ||
                     entry.second.compare(0, 2, "-0") == 0,
                 entry.second);
    }
    if (datastore::ParseHexIndex(entry.second, &number)) FUZZ_CHECK(number >= 0 && number <= 0xFFFFFFFFll, entry.second);
  }
}

}  // namespace

FUZZ_TARGET(data, size) {
  std::vector<std::string> calls = fuzz::Split(data, size, '\0');
  if (calls.size() > 48) calls.resize(48);

  CTempFolder folder;
  std::atomic<int> errors{0};
  std::string firstError;
  datastore::DataStoreOptions options;
  options.databasePath = folder.Path() + "/store.db";
  options.durability = datastore::Durability::Normal;
  options.busyTimeoutMs = 1000;
  options.recoverLimit = 5;
  std::mutex errorMutex;  // writes log on the store's writer thread
  options.logSink = [&](datastore::LogLevel level, const std::string& text) {
    std::lock_guard<std::mutex> lock(errorMutex);
    if (level == datastore::LogLevel::Error && errors++ == 0) firstError = text;
  };
  IDataAccessor* raw = nullptr;
  FUZZ_CHECK(datastore::CreateDataStore(options, &raw) == S_OK && raw, "the store opens");
  qxdk::UTIL::com_ptr<IDataAccessor> store;
  store.Attach(raw);
  qxdk::UTIL::com_ptr<IDataAccessorII> query;
  FUZZ_CHECK(store.QueryInterface(query) == S_OK && query, "the store answers queries");

  for (const std::string& call : calls) {
    if (call.empty()) continue;
    const char op = call[0];
    std::string name, text;
    fuzz::SplitOnce(op == 's' || op == 'q' || op == 'g' ? call.substr(1) : call, '\t', &name, &text);
    const std::wstring wideName = fuzz::Wide(name);
    const std::wstring wideText = fuzz::Wide(text);
    const std::string where = std::string(1, op) + " " + fuzz::Show(wideName) + " \"" + fuzz::Show(wideText) + "\"";
    CheckParams(wideText);
    if (op == 'q') {
      qxdk::UTIL::com_ptr<IDataHolder> holder;
      query->QueryData(wideName.c_str(), wideText.c_str(), &holder);
      if (!holder) continue;
      const wchar_t* result = nullptr;
      FUZZ_CHECK(holder->GetText(&result) == S_OK && result, where);
      if (IsDocumentQuery(wideName) && *result) {
        TiXmlDocument document;
        document.Parse(platform::WideToUtf8(result).c_str(), nullptr, TIXML_ENCODING_UTF8);
        FUZZ_CHECK(!document.Error() && document.RootElement(), where + " answered " + fuzz::Show(result));
      }
    } else if (op == 'g') {
      wchar_t* value = nullptr;
      if (store->GetData(wideName.c_str(), &value) == S_OK) FUZZ_CHECK(value, where);
      FUZZ_CHECK(store->FreeData(value) == S_OK, where);
    } else {
      store->SetData(wideName.c_str(), wideText.c_str());
    }
    std::lock_guard<std::mutex> lock(errorMutex);
    FUZZ_CHECK(errors == 0, where + ": " + firstError);
  }
  query = nullptr;
  store = nullptr;
  return 0;
}
