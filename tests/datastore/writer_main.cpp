// A second process for the process tests: writes a stream of "add_his" or "add_favor"
// commands into a store and prints the number of each write as soon as it is committed
// (so the parent knows which writes were confirmed): SetData only queues the write, and
// a read after it returns once the write has run.
//   datastore_test_writer <database> <his|favor> <count> <tag> [wait]
// With "wait" it first reads standard input to its end, so that a parent can start
// several writers and let them open the store at the same instant by closing that pipe.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "components/datastore/datastore.h"

int main(int argc, char** argv) {
  if (argc != 5 && !(argc == 6 && std::string(argv[5]) == "wait")) {
    std::fprintf(stderr, "usage: %s <database> <his|favor> <count> <tag> [wait]\n", argv[0]);
    return 2;
  }
  if (argc == 6) {
    char buffer[64];
    ssize_t n;
    while ((n = read(0, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    }
  }
  datastore::DataStoreOptions options;
  options.databasePath = argv[1];
  const std::string mode = argv[2];
  const int count = std::atoi(argv[3]);
  const std::wstring tag(argv[4], argv[4] + std::string(argv[4]).size());
  IDataAccessor* store = nullptr;
  if (datastore::CreateDataStore(options, &store) != S_OK) return 3;
  int status = 0;
  for (int i = 0; i < count; ++i) {
    const std::wstring n = std::to_wstring(i);
    HRESULT hr;
    if (mode == "his") {
      hr = store->SetData(L"add_his", (L"icon=\ntitle=" + tag + n + L"\nurl=http://" + tag + L"/" + n + L"\n").c_str());
    } else {
      hr = store->SetData(L"add_favor", (L"pid=0\ntitle=" + tag + n + L"\ntype=1\nurl=http://" + tag + L"/" + n +
                                         L"\n").c_str());
    }
    wchar_t* text = nullptr;
    if (hr == S_OK && store->GetData(L"page.size", &text) != S_OK) hr = E_FAIL;
    store->FreeData(text);
    if (hr != S_OK) {
      std::printf("fail %d\n", i);
      status = 1;
      break;
    }
    std::printf("%d\n", i);
    std::fflush(stdout);
  }
  store->Release();
  return status;
}
