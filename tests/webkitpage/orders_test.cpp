// Orders that act on the shown page: zoom and text size, sound, saving, reading (find is in
// the contract suite, tests/pagecore).
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "webkitpage/kitfixture.h"

namespace webtest {
namespace {

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(platform::WideToUtf8(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The page's WebKitWebView, for what only WebKit can tell (GTK thread).
WebKitWebView* WebViewOf(HWND view) { return WEBKIT_WEB_VIEW(platform::gtk::ViewWidget(view)); }

// Two seconds of a 440 Hz tone, 8 kHz mono 16-bit PCM.
std::string ToneWav() {
  const uint32_t rate = 8000, samples = rate * 2;
  std::string wav;
  auto put32 = [&wav](uint32_t v) { for (int i = 0; i < 4; ++i) wav.push_back(static_cast<char>(v >> (8 * i))); };
  auto put16 = [&wav](uint16_t v) { for (int i = 0; i < 2; ++i) wav.push_back(static_cast<char>(v >> (8 * i))); };
  wav += "RIFF";
  put32(36 + samples * 2);
  wav += "WAVEfmt ";
  put32(16);
  put16(1);
  put16(1);
  put32(rate);
  put32(rate * 2);
  put16(2);
  put16(16);
  wav += "data";
  put32(samples * 2);
  for (uint32_t i = 0; i < samples; ++i)
    put16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate))));
  return wav;
}

TEST_F(WebKitPageTest, ZoomAndTextSizeReachTheView) {
  m_server.Html("/text", "<html><body>text</body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/text")), 0);
  const HWND view = ViewOf(*sink);

  ASSERT_EQ(S_OK, SetWebKitPageZoom(Manager(), 150));
  EXPECT_EQ(E_INVALIDARG, SetWebKitPageZoom(Manager(), 20));
  EXPECT_EQ(E_INVALIDARG, SetWebKitPageZoom(Manager(), 501));
  EXPECT_EQ(E_INVALIDARG, SetWebKitPageZoom(nullptr, 100));
  EXPECT_TRUE(log.Contains("is not a zoom from 25 to 500"));

  qxdk::UTIL::com_ptr<IWebPageData> data;
  page.QueryInterface(data);
  ASSERT_EQ(S_OK, data->SetData(L"font.size", L"4"));
  EXPECT_EQ(L"4", GetData(page.get(), L"font.size"));
  double zoom = 0;
  guint32 font = 0;
  ASSERT_TRUE(gtktest::RunOnGtk([&] {
    zoom = webkit_web_view_get_zoom_level(WebViewOf(view));
    font = webkit_settings_get_default_font_size(webkit_web_view_get_settings(WebViewOf(view)));
  }));
  EXPECT_DOUBLE_EQ(1.5, zoom);
  EXPECT_EQ(24u, font);

  // A page made later starts with the manager's zoom.
  std::shared_ptr<CRecordingSink> laterSink;
  PagePtr later = NewPage(&laterSink);
  const HWND laterView = ViewOf(*laterSink);
  ASSERT_TRUE(gtktest::WaitOnGtk([&] { return platform::gtk::ViewWidget(laterView) != nullptr; }));
  ASSERT_TRUE(gtktest::RunOnGtk([&] { zoom = webkit_web_view_get_zoom_level(WebViewOf(laterView)); }));
  EXPECT_DOUBLE_EQ(1.5, zoom);
}

TEST_F(WebKitPageTest, MutingAndTheSoundState) {
  m_server.Route("/tone.wav", HttpAnswer{200, "audio/wav", ToneWav(), false});
  m_server.Html("/sound", "<html><body><audio src=\"/tone.wav\" autoplay loop></audio></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/sound")), 0);
  const HWND view = ViewOf(*sink);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=WEBAUDIO\nSTATE=0\n"));
  EXPECT_TRUE(gtktest::WaitOnGtk([&] { return webkit_web_view_get_is_muted(WebViewOf(view)); }));
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=WEBAUDIO\nSTATE=1\n"));
  EXPECT_TRUE(gtktest::WaitOnGtk([&] { return !webkit_web_view_get_is_muted(WebViewOf(view)); }));

  // Playing needs an audio output of GStreamer's; a machine without one plays nothing.
  if (sink->WaitFor(L"AUDIOSTATECHANGE", L"PLAYING=TRUE\n", 0, std::chrono::seconds(20)) < 0)
    GTEST_SKIP() << "WebKit played no sound here (no audio output)";
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Navigate(page.get(), "about:blank"));
  EXPECT_GE(sink->WaitFor(L"AUDIOSTATECHANGE", L"PLAYING=FALSE\n", from), 0);
}

TEST_F(WebKitPageTest, SavesAreNamedAfterThePageAndNeverReplaceAFile) {
  m_server.Html("/doc", "<!DOCTYPE html><html><head><title>Report: 2024</title></head>"
                        "<body><h1>Saved words</h1></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  Show(*sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/doc")), 0);
  const std::wstring folder = W(m_options.downloadsFolder);

  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=SAVEHTML\n"));
  int first = sink->WaitFor(L"SAVECOMPLETE");
  ASSERT_GE(first, 0);
  EXPECT_EQ(L"FILE=" + folder + L"/Report_ 2024.html\nKIND=html\n", sink->Events()[first].value);
  std::string html = ReadFile(folder + L"/Report_ 2024.html");
  EXPECT_EQ(0u, html.find("<!DOCTYPE html>\n<html>"));
  EXPECT_NE(std::string::npos, html.find("<h1>Saved words</h1>"));
  EXPECT_GE(sink->WaitFor(L"STATEXTCHANGED", L"STATTEXT=Saved " + folder + L"/Report_ 2024.html\n"), 0);

  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=SAVEHTML\n"));
  EXPECT_GE(sink->WaitFor(L"SAVECOMPLETE", L"FILE=" + folder + L"/Report_ 2024 (2).html\n", first + 1), 0);

  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=SAVEIMGE\n"));
  int image = sink->WaitFor(L"SAVECOMPLETE", L"KIND=png", from);
  ASSERT_GE(image, 0) << "no image";
  EXPECT_EQ(L"FILE=" + folder + L"/Report_ 2024.png\nKIND=png\n", sink->Events()[image].value);
  EXPECT_EQ(0u, ReadFile(folder + L"/Report_ 2024.png").find("\x89PNG\r\n"));

  from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=PRINT\n"));
  int pdf = sink->WaitFor(L"SAVECOMPLETE", L"KIND=pdf", from);
  ASSERT_GE(pdf, 0);
  EXPECT_EQ(L"FILE=" + folder + L"/Report_ 2024.pdf\nKIND=pdf\n", sink->Events()[pdf].value);
  EXPECT_EQ(0u, ReadFile(folder + L"/Report_ 2024.pdf").find("%PDF"));
}

TEST_F(WebKitPageTest, PageTextAndUnavailableOrders) {
  m_server.Html("/read", "<html><head><title>Read me</title></head><body><h2>Head</h2>"
                         "<p>Some <a href=\"/x\">link</a> here</p></body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  const std::string url = m_server.Url("/read");
  ASSERT_GE(Load(page.get(), *sink, url), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=GETTEXT\n"));
  int text = sink->WaitFor(L"PAGETEXT");
  ASSERT_GE(text, 0);
  EXPECT_EQ(L"CUT=FALSE\nLINKS=" + W(m_server.Url("/x")) + L"\\n\nTEXT=2:Head\\nP:Some link[1] here\\n\nTITLE=Read me\nURL=" +
                W(url) + L"\n",
            sink->Events()[text].value);

  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FILEOPEN\n"));
  EXPECT_GE(sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=FILEOPEN\n"), 0);
  EXPECT_TRUE(log.WaitFor("FILEOPEN is not available"));
}

}  // namespace
}  // namespace webtest
