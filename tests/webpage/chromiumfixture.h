#pragma once
// The fixture of the tests that run real Chromium pages against the loopback server.
// They are skipped when Chromium is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "components/webpage/webpagemanager.h"
#include "webpage/pagefixture.h"

namespace webtest {

class WebpageChromiumTest : public CPageFixture {
 protected:
  static constexpr const char* kChromium = "/usr/bin/chromium";

  void SetUp() override {
    if (::access(kChromium, X_OK) != 0) GTEST_SKIP() << "Chromium is not installed at " << kChromium;
    MakeFolder("webpage-test");
    m_options.downloadsFolder = m_folder + "/downloads";
    m_options.navigationTimeout = std::chrono::milliseconds(60000);
  }

  void TearDown() override {
    ReleasePages();
    RemoveFolder();
  }

  HRESULT CreateManager(IWebPageManager** out) override { return CreateWebPageManager(m_options, out); }

  // Loads `url` in a new page (the opener) whose script opens a window, and adopts it.
  PagePtr LoadOpenerAndAdopt(const std::string& url, PagePtr& opener, std::shared_ptr<CRecordingSink>* sink,
                             std::shared_ptr<CRecordingSink>* childSink) {
    opener = NewPage(sink);
    if (!opener || Load(opener.get(), **sink, url) < 0) return nullptr;
    EXPECT_GE((*sink)->WaitFor(L"NEWINDOW"), 0) << url << " opened no window";
    return AdoptWindowOf(opener.get(), childSink);
  }

  WebPageOptions m_options;
};

}  // namespace webtest
