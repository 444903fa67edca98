#pragma once
// The tab manager wired to fresh test doubles for one fuzz input, and taken down again
// afterwards: workers quit and joined, tabs closed, components released. Every input
// starts from the same state, so a saved input replays the same way in any order.
#include <future>
#include <memory>

#include "doubles/fakedatastore.h"
#include "doubles/fakewebpage.h"
#include "logging/logging.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"

namespace fuzz {

class CLibrarySession {
 public:
  CLibrarySession() {
    // Log lines are expected (the inputs are hostile); keep them out of the output.
    logging::SetMessageHook([](int, const char*, int, size_t, const std::string&) { return true; });
    pages = new FakeWebPageManager();
    store = new FakeDataStore();
    CTabManager::SetWebPageManager(pages);
    CTabManager::SetDataAccessor(store);
    CTabManager::SetMainWndHwnd(MainWindow());
    tm.Start();
    // Page threads wait for a bound main window before they parent the web window.
    tm.BindMainWnd(MainWindow());
    Drain();
  }

  ~CLibrarySession() {
    tm.CloseAllTab();
    Drain();
    tm.Quit();
    CTabManager::RegisterNotify(nullptr);
    CTabManager::RegisterDataNotify(nullptr);
    // This thread keeps a copy of the last callback it called until it calls again; a call
    // now lets the input's callbacks go, so each input frees what it allocated.
    CTabManager::Notify(0u, L"", L"");
    CTabManager::NotifyData(L"", std::wstring());
    CTabManager::SetWebPageManager(nullptr);
    CTabManager::SetDataAccessor(nullptr);
    CTabManager::SetAddFavoriteDlg(nullptr);
    CTabManager::SetEditFavoriteDlg(nullptr);
    CTabManager::SetMainWndHwnd(nullptr);
    pages->ForgetPages();
    logging::SetMessageHook(nullptr);
  }

  CLibrarySession(const CLibrarySession&) = delete;
  CLibrarySession& operator=(const CLibrarySession&) = delete;

  // Runs every task posted so far on both queues (a task of one may post to the other).
  // The workers are started first: an input may have stopped them.
  void Drain() {
    tm.Start();
    for (int round = 0; round < 2; ++round) {
      DrainQueue(*CTabManager::UITaskQueue());
      DrainQueue(*CTabManager::IOTaskQueue());
    }
  }

  static HWND MainWindow() {
    static HWND main = platform::CreateWindowHandle();
    return main;
  }

  CTabManager& tm = CTabManager::Instance();
  qxdk::UTIL::com_ptr<FakeWebPageManager> pages;
  qxdk::UTIL::com_ptr<FakeDataStore> store;

 private:
  class CSignal : public ITabTask {
   public:
    explicit CSignal(std::promise<void>* done) : m_done(done) {}
    bool Execute() override {
      m_done->set_value();
      return true;
    }

   private:
    std::promise<void>* m_done;
  };

  static void DrainQueue(CTabTaskQueue& queue) {
    std::promise<void> done;
    queue.PostTask(std::make_shared<CSignal>(&done));
    done.get_future().wait();  // a hang here is a fault: libFuzzer's timeout reports it
  }
};

}  // namespace fuzz
