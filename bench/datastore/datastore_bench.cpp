// "add_his" and "add_favor" through the store's interfaces against plain prepared-statement
// inserts of the same rows into the same schema, with the same durability settings (WAL,
// one write transaction per row; argument 0: synchronous=FULL, the store's default,
// argument 1: synchronous=NORMAL, where the disk weighs less and the store's own work
// more). Prints, for each command and setting, the store's time per row beside the plain
// inserts' from the same run, and the ratio of the rates; the target is at least 0.95.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/common/ratio_reporter.h"
#include "components/datastore/datastore.h"

namespace {

std::string g_folder;

// SetData only queues a write; a read after it returns once the write is committed, so
// the store's side is timed up to the commit, as the plain side is.
void WaitForWrite(IDataAccessor* store) {
  wchar_t* text = nullptr;
  store->GetData(L"page.size", &text);
  store->FreeData(text);
}

datastore::Durability DurabilityOf(const benchmark::State& state) {
  return state.range(0) == 0 ? datastore::Durability::Full : datastore::Durability::Normal;
}

std::string NewDatabase(const char* name, const benchmark::State& state) {
  const std::string path = g_folder + "/" + std::to_string(state.range(0)) + name;
  datastore::DataStoreOptions options;
  options.databasePath = path;
  IDataAccessor* store = nullptr;
  if (datastore::CreateDataStore(options, &store) != S_OK) std::abort();
  store->Release();  // leaves a file with the store's schema
  return path;
}

// The plain side: one connection, the store's statements, prepared once.
class PlainDb {
 public:
  PlainDb(const std::string& path, datastore::Durability durability) {
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) std::abort();
    sqlite3_busy_timeout(m_db, 10000);
    Exec("PRAGMA journal_mode=WAL");
    Exec(durability == datastore::Durability::Full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
  }
  ~PlainDb() {
    for (auto& s : m_stmts) sqlite3_finalize(s.second);
    sqlite3_close(m_db);
  }
  void Exec(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
  }
  void Run(const char* sql, std::initializer_list<std::string> values) {
    sqlite3_stmt*& stmt = m_stmts[sql];
    if (!stmt && sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
      std::abort();
    }
    int i = 1;
    for (const std::string& v : values) {
      sqlite3_bind_text(stmt, i++, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    if (sqlite3_step(stmt) != SQLITE_DONE) std::abort();
    sqlite3_reset(stmt);
  }

 private:
  sqlite3* m_db = nullptr;
  std::map<const char*, sqlite3_stmt*> m_stmts;
};

const char kIconUpsert[] =
    "INSERT INTO icons(url, icon, date) VALUES(?1, ?2, ?3) "
    "ON CONFLICT(url) DO UPDATE SET icon = excluded.icon, date = excluded.date";

void BM_StoreAddHis(benchmark::State& state) {
  datastore::DataStoreOptions options;
  options.databasePath = NewDatabase("store_his.db", state);
  options.durability = DurabilityOf(state);
  IDataAccessor* store = nullptr;
  datastore::CreateDataStore(options, &store);
  int64_t n = 0;
  for (auto _ : state) {
    const std::wstring text = L"date=2024-3-7 9:7:2\nicon=/icons/" + std::to_wstring(n % 50) +
                              L".ico\ntitle=Page " + std::to_wstring(n) + L"\nurl=http://site.example/page/" +
                              std::to_wstring(n) + L"\n";
    if (store->SetData(L"add_his", text.c_str()) != S_OK) state.SkipWithError("add_his failed");
    WaitForWrite(store);
    ++n;
  }
  state.SetItemsProcessed(n);
  store->Release();
}

void BM_PlainAddHis(benchmark::State& state) {
  PlainDb db(NewDatabase("plain_his.db", state), DurabilityOf(state));
  int64_t n = 0;
  for (auto _ : state) {
    const std::string url = "http://site.example/page/" + std::to_string(n);
    const std::string icon = "/icons/" + std::to_string(n % 50) + ".ico";
    const std::string date = "2024-03-07 09:07:02";
    db.Exec("BEGIN IMMEDIATE");
    db.Run("INSERT INTO history(url, title, icon, date) VALUES(?1, ?2, ?3, ?4)",
           {url, "Page " + std::to_string(n), icon, date});
    db.Run(kIconUpsert, {url, icon, date});
    db.Exec("COMMIT");
    ++n;
  }
  state.SetItemsProcessed(n);
}

void BM_StoreAddFavor(benchmark::State& state) {
  datastore::DataStoreOptions options;
  options.databasePath = NewDatabase("store_favor.db", state);
  options.durability = DurabilityOf(state);
  IDataAccessor* store = nullptr;
  datastore::CreateDataStore(options, &store);
  int64_t n = 0;
  for (auto _ : state) {
    const std::wstring text = L"date=2024-3-7 9:7:2\nicon=/icons/" + std::to_wstring(n % 50) +
                              L".ico\npid=0\ntitle=Favourite " + std::to_wstring(n) +
                              L"\ntype=1\nurl=http://fav.example/" + std::to_wstring(n) + L"\n";
    if (store->SetData(L"add_favor", text.c_str()) != S_OK) state.SkipWithError("add_favor failed");
    WaitForWrite(store);
    ++n;
  }
  state.SetItemsProcessed(n);
  store->Release();
}

// A listener that does nothing: what the store costs when its change notification is heard,
// as it is when the library runs on it.
class QuietSink : public INotifierStub {
 public:
  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
    if (riid != IID_IUnknown && riid != INotifierStub::iid) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override { return --m_refs; }
  HRESULT Notify(const wchar_t*, const wchar_t*, const wchar_t*) override { return S_OK; }

 private:
  std::atomic<ULONG> m_refs{1};
};

constexpr int64_t kBurst = 64;

void BM_StoreAddFavorHeard(benchmark::State& state) {
  QuietSink sink;
  datastore::DataStoreOptions options;
  options.databasePath = NewDatabase("store_favor_heard.db", state);
  options.durability = DurabilityOf(state);
  IDataAccessor* store = nullptr;
  datastore::CreateDataStore(options, &store);
  IDataAccessorNotifier* notifier = nullptr;
  if (store->QueryInterface(IDataAccessorNotifier::iid, reinterpret_cast<void**>(&notifier)) != S_OK) std::abort();
  uintptr_t cookie = 0;
  notifier->Subscribe(L"add_favor", &sink, &cookie);
  notifier->Release();
  int64_t n = 0;
  for (auto _ : state) {
    const std::wstring text = L"date=2024-3-7 9:7:2\nicon=/icons/" + std::to_wstring(n % 50) +
                              L".ico\npid=0\ntitle=Favourite " + std::to_wstring(n) +
                              L"\ntype=1\nurl=http://fav.example/" + std::to_wstring(n) + L"\n";
    if (store->SetData(L"add_favor", text.c_str()) != S_OK) state.SkipWithError("add_favor failed");
    // Writes come in bursts (a page load, an import); a read after each burst waits for
    // its commit, so the commits are inside the timing.
    if (++n % kBurst == 0) WaitForWrite(store);
  }
  WaitForWrite(store);
  state.SetItemsProcessed(n);
  store->Release();  // delivers what is queued, then lets the sink go
}

void BM_PlainAddFavor(benchmark::State& state) {
  PlainDb db(NewDatabase("plain_favor.db", state), DurabilityOf(state));
  int64_t n = 0;
  for (auto _ : state) {
    const std::string url = "http://fav.example/" + std::to_string(n);
    const std::string icon = "/icons/" + std::to_string(n % 50) + ".ico";
    const std::string date = "2024-03-07 09:07:02";
    db.Exec("BEGIN IMMEDIATE");
    db.Run("INSERT INTO favorites(pid, type, title, url, icon, date) VALUES(0, 1, ?1, ?2, ?3, ?4)",
           {"Favourite " + std::to_string(n), url, icon, date});
    db.Run(kIconUpsert, {url, icon, date});
    db.Exec("COMMIT");
    ++n;
  }
  state.SetItemsProcessed(n);
}

// Durability makes the wall clock the measure: a commit waits for the disk, not the CPU.
// The disk's speed drifts (the machine is shared), so each benchmark is repeated, the
// repetitions are interleaved at random (see main), and medians are compared (each
// repetition is reported: the ratio reporter takes its median from them).
#define DATASTORE_BENCH(fn) \
  BENCHMARK(fn)->Arg(0)->Arg(1)->UseRealTime()->MinTime(0.3)->Repetitions(5)
DATASTORE_BENCH(BM_StoreAddHis);
DATASTORE_BENCH(BM_PlainAddHis);
DATASTORE_BENCH(BM_StoreAddFavor);
DATASTORE_BENCH(BM_PlainAddFavor);
DATASTORE_BENCH(BM_StoreAddFavorHeard);

// Keeps the median rate of every benchmark besides the times the ratio reporter keeps.
class RateReporter : public RatioReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    RatioReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("items_per_second");
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && it != run.counters.end()) {
        rates[run.run_name.str()] = it->second.value;
      }
    }
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/datastore-bench-XXXXXX";
  if (const char* dir = mkdtemp(pattern)) g_folder = dir;
  else return 1;
  // Interleaving is on unless the command line says otherwise.
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  RateReporter reporter;
  if (RunWithRatios(count, args.data(), reporter) != 0) return 1;
  for (const char* arg : {"0", "1"}) {
    for (const char* command : {"AddHis", "AddFavor"}) {
      const std::string suffix = std::string(command) + "/" + arg + "/min_time:0.300/repeats:5/real_time";
      const std::string label = std::string(std::string(command) == "AddHis" ? "add_his" : "add_favor") + " " +
                                (arg[0] == '0' ? "FULL" : "NORMAL");
      // Time per row against the plain inserts' (a rate of 0.95x is a time of 1/0.95).
      const std::string timeSuffix = std::string(command) + "/" + arg + "/min_time:0.300/real_time";
      reporter.PrintRatio(label + " time per row", "BM_Store" + timeSuffix, "BM_Plain" + timeSuffix, 1 / 0.95);
      const double store = reporter.rates["BM_Store" + suffix];
      const double plain = reporter.rates["BM_Plain" + suffix];
      if (store > 0 && plain > 0) {
        std::printf("%-16s store %9.0f/s  plain insert %9.0f/s  rate ratio %.2f (target >= 0.95)\n", label.c_str(),
                    store, plain, store / plain);
      }
      if (std::string(command) == "AddFavor") {
        reporter.PrintRatio(label + " with a listener, time per row", "BM_StoreAddFavorHeard/" + std::string(arg) +
                            "/min_time:0.300/real_time", "BM_Plain" + timeSuffix, 1 / 0.95);
      }
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);
  benchmark::Shutdown();
  return reporter.ExitCode();
}
