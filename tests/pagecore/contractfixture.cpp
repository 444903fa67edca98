#include "pagecore/contractfixture.h"

#if PAGE_CONTRACT_WEBKIT
#include <webkit2/webkit2.h>

#include "gtk/gtktestenv.h"
#include "platform/gtk/gtkwindows.h"
#include "platform/window.h"
#endif

namespace webtest {

namespace {
const char kChromium[] = "/usr/bin/chromium";
}  // namespace

std::vector<Engine> EnginesHere() {
#if PAGE_CONTRACT_WEBKIT
  return {Engine::Chromium, Engine::WebKit};
#else
  return {Engine::Chromium};
#endif
}

std::string EngineName(Engine engine) { return engine == Engine::Chromium ? "Chromium" : "WebKit"; }

std::string Unavailable(Engine engine) {
  if (engine == Engine::Chromium && ::access(kChromium, X_OK) != 0) return std::string(kChromium) + " is missing";
  return "";
}

HRESULT MakeManager(Engine engine, const std::string& folder, IWebPageManager** out) {
  if (engine == Engine::Chromium) {
    WebPageOptions options;
    options.downloadsFolder = folder + "/downloads";
    return CreateWebPageManager(options, out);
  }
#if PAGE_CONTRACT_WEBKIT
  platform::gtk::InstallWindowBackend();
  WebKitPageOptions options;
  options.downloadsFolder = folder + "/downloads";
  return CreateWebKitPageManager(options, out);
#else
  return E_NOTIMPL;
#endif
}

void PageContractTest::SetUp() {
  const std::string why = Unavailable(GetParam());
  if (!why.empty()) GTEST_SKIP() << why;
  MakeFolder("page-contract");
  m_chromium.downloadsFolder = m_folder + "/downloads";
#if PAGE_CONTRACT_WEBKIT
  m_webkit.downloadsFolder = m_folder + "/downloads";
  if (GetParam() == Engine::WebKit) platform::gtk::InstallWindowBackend();
#endif
}

void PageContractTest::ShowPage(CRecordingSink& sink) {
#if PAGE_CONTRACT_WEBKIT
  if (GetParam() != Engine::WebKit) return;
  if (!m_window) {
    m_main = platform::CreateWindowHandle();
    HWND main = m_main;
    GtkWidget* window = nullptr;
    ASSERT_TRUE(gtktest::RunOnGtk([main, &window] {
      window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
      gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
      gtk_container_add(GTK_CONTAINER(window), platform::gtk::CreatePageArea(main));
      gtk_widget_show_all(window);
    }));
    m_window = window;
  }
  const int at = sink.WaitFor(L"CHLIDHANDLE");
  ASSERT_GE(at, 0);
  HWND view = HandleFromValue(std::wcstoul(CRecordingSink::Param(sink.Events()[at].value, L"HWND").c_str(), nullptr, 16));
  SetParent(view, m_main);
  ShowWindow(view, SW_SHOW);
#else
  (void)sink;
#endif
}

void PageContractTest::TearDown() {
  ReleasePages();
#if PAGE_CONTRACT_WEBKIT
  if (m_window) {
    GtkWidget* window = static_cast<GtkWidget*>(m_window);
    gtktest::RunOnGtk([window] { gtk_widget_destroy(window); });
    m_window = nullptr;
  }
  // Whatever the pages left on the GTK thread has run before the next test.
  if (GetParam() == Engine::WebKit) gtktest::RunOnGtk([] {});
#endif
  RemoveFolder();
}

void PageContractTest::TrustOrigins(const std::vector<std::string>& origins) {
  m_chromium.trustedOrigins = origins;
#if PAGE_CONTRACT_WEBKIT
  m_webkit.trustedOrigins = origins;
#endif
}

PageOptions& PageContractTest::Options() {
#if PAGE_CONTRACT_WEBKIT
  if (GetParam() == Engine::WebKit) return m_webkit;
#endif
  return m_chromium;
}

bool PageContractTest::KillRenderer(IWebPage* page, CRecordingSink& sink) {
  const size_t from = sink.Count();
#if PAGE_CONTRACT_WEBKIT
  if (GetParam() == Engine::WebKit) {
    const int at = sink.WaitFor(L"CHLIDHANDLE");
    if (at < 0) return false;
    const HWND view =
        HandleFromValue(std::wcstoul(CRecordingSink::Param(sink.Events()[at].value, L"HWND").c_str(), nullptr, 16));
    if (!gtktest::RunOnGtk(
            [view] { webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(platform::gtk::ViewWidget(view))); })) {
      return false;
    }
    return sink.WaitFor(L"PROCESSCRASH", L"", from) >= 0;
  }
#endif
  // Chromium's debug address ends the renderer that loads it.
  if (Navigate(page, "chrome://crash") != S_OK) return false;
  return sink.WaitFor(L"PROCESSCRASH", L"", from) >= 0;
}

HRESULT PageContractTest::CreateManager(IWebPageManager** out) {
#if PAGE_CONTRACT_WEBKIT
  if (GetParam() == Engine::WebKit) return CreateWebKitPageManager(m_webkit, out);
#endif
  return CreateWebPageManager(m_chromium, out);
}

INSTANTIATE_TEST_SUITE_P(Engines, PageContractTest, ::testing::ValuesIn(EnginesHere()),
                         [](const ::testing::TestParamInfo<Engine>& info) { return EngineName(info.param); });

}  // namespace webtest
