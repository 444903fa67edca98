#pragma once
// The contract of the page component, held against every engine built here: the same test
// source runs on headless Chromium and on WebKitGTK (a parameterised fixture). Chromium
// cases skip where /usr/bin/chromium is missing; WebKit cases exist where WebKitGTK and
// the GTK test support are built (PAGE_CONTRACT_WEBKIT).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "components/webpage/webpagemanager.h"
#include "webpage/pagefixture.h"
#if PAGE_CONTRACT_WEBKIT
#include "components/webkitpage/webkitpagemanager.h"
#endif

namespace webtest {

enum class Engine { Chromium, WebKit };

// The engines this test program holds.
std::vector<Engine> EnginesHere();
std::string EngineName(Engine engine);
inline void PrintTo(Engine engine, std::ostream* out) { *out << EngineName(engine); }
// Why `engine` cannot run here, or "".
std::string Unavailable(Engine engine);

class PageContractTest : public CPageFixture, public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override;
  void TearDown() override;
  HRESULT CreateManager(IWebPageManager** out) override;
  // The host's own origins, for every engine.
  void TrustOrigins(const std::vector<std::string>& origins);
  // The options both engines share, of the engine under test (set before the first page).
  PageOptions& Options();
  // Ends the renderer (Chromium) or web process (WebKit) of `page`, whose sink is `sink`,
  // and waits for its "PROCESSCRASH"; false when it never came.
  bool KillRenderer(IWebPage* page, CRecordingSink& sink);
  // Lays the page out at 800 by 600 as a shown browser does (WebKit: its view in a shown
  // window; Chromium's headless view is laid out already).
  void ShowPage(CRecordingSink& sink);

  WebPageOptions m_chromium;
#if PAGE_CONTRACT_WEBKIT
  WebKitPageOptions m_webkit;
  void* m_window = nullptr;  // ShowPage's GtkWindow
  HWND m_main = nullptr;
#endif
};

// A manager of `engine` with downloads in `folder`, outside any fixture (the trace test
// runs both engines in one test).
HRESULT MakeManager(Engine engine, const std::string& folder, IWebPageManager** out);

}  // namespace webtest
