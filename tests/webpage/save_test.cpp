// Saving a page as HTML, PNG and PDF into the downloads folder.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include "webpage/chromiumfixture.h"

namespace webtest {
namespace {

std::string ReadFile(const std::wstring& path) {
  std::ifstream file(platform::WideToUtf8(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class WebpageSaveTest : public WebpageChromiumTest {
 protected:
  // Sends the order and returns the saved file's path from "SAVECOMPLETE".
  std::wstring Save(IWebPage* page, CRecordingSink& sink, const wchar_t* order, const wchar_t* kind) {
    size_t from = sink.Count();
    EXPECT_EQ(S_OK, Order(page, order));
    int at = sink.WaitFor(L"SAVECOMPLETE", std::wstring(L"KIND=") + kind + L"\n", from);
    if (at < 0) return L"";
    std::wstring value = sink.Events()[at].value;
    EXPECT_EQ(L"", CRecordingSink::Param(value, L"ERROR"));
    std::wstring path = CRecordingSink::Param(value, L"FILE");
    EXPECT_GE(sink.WaitFor(L"STATEXTCHANGED", L"STATTEXT=Saved " + path, from), 0);
    return path;
  }
};

TEST_F(WebpageSaveTest, HtmlPngAndPdfAreValidFilesInTheDownloadsFolder) {
  m_server.Html("/doc", "<!DOCTYPE html><html><head><title>Report: 2024/05</title></head>"
                        "<body><h1>Marker 7d1f</h1><p>Some text to print.</p></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/doc")), 0);
  std::wstring folder = W(m_options.downloadsFolder) + L"/";

  std::wstring html = Save(page.get(), *sink, L"CMD=SAVEHTML\n", L"html");
  // The title names the file; characters a file name cannot hold are replaced.
  EXPECT_EQ(folder + L"Report_ 2024_05.html", html);
  std::string text = ReadFile(html);
  EXPECT_EQ(0u, text.find("<!DOCTYPE html>"));
  EXPECT_NE(std::string::npos, text.find("<h1>Marker 7d1f</h1>"));

  std::wstring png = Save(page.get(), *sink, L"CMD=SAVEIMGE\n", L"png");
  EXPECT_EQ(folder + L"Report_ 2024_05.png", png);
  std::string image = ReadFile(png);
  ASSERT_GT(image.size(), 33u);
  EXPECT_EQ(std::string("\x89PNG\r\n\x1a\n", 8), image.substr(0, 8));
  EXPECT_EQ("IHDR", image.substr(12, 4));

  std::wstring pdf = Save(page.get(), *sink, L"CMD=PRINT\n", L"pdf");
  std::string document = ReadFile(pdf);
  EXPECT_EQ("%PDF-", document.substr(0, 5));
  EXPECT_NE(std::string::npos, document.rfind("%%EOF"));

  // A second PDF never replaces the first.
  std::wstring preview = Save(page.get(), *sink, L"CMD=PRINTPREVIEW\n", L"pdf");
  EXPECT_EQ(folder + L"Report_ 2024_05 (2).pdf", preview);
  EXPECT_EQ(document.size() > 0, ReadFile(pdf).size() == document.size());
}

TEST_F(WebpageSaveTest, ABackgroundTabSavesEveryKindUnderItsOwnName) {
  m_server.Html("/weather", "<html><head><title>Weather</title></head><body><h1>Sunny</h1></body></html>");
  m_server.Html("/news", "<html><head><title>News</title></head><body><h1>Today</h1></body></html>");
  std::shared_ptr<CRecordingSink> weatherSink, newsSink;
  PagePtr weather = NewPage(&weatherSink);
  ASSERT_GE(Load(weather.get(), *weatherSink, m_server.Url("/weather")), 0);
  // A tab opened later is the one in front; the first stays behind it.
  PagePtr news = NewPage(&newsSink);
  ASSERT_GE(Load(news.get(), *newsSink, m_server.Url("/news")), 0);
  std::wstring folder = W(m_options.downloadsFolder) + L"/";

  // Two saves waiting at once: both files arrive.
  size_t from = weatherSink->Count();
  ASSERT_EQ(S_OK, Order(weather.get(), L"CMD=SAVEIMGE\n"));
  ASSERT_EQ(S_OK, Order(weather.get(), L"CMD=SAVEIMGE\n"));
  std::set<std::wstring> files;
  for (int i = 0; i < 2; ++i) {
    int at = weatherSink->WaitFor(L"SAVECOMPLETE", L"KIND=png\n", from);
    ASSERT_GE(at, 0) << "save " << i + 1 << " never finished";
    files.insert(CRecordingSink::Param(weatherSink->Events()[at].value, L"FILE"));
    from = static_cast<size_t>(at) + 1;
  }
  EXPECT_EQ((std::set<std::wstring>{folder + L"Weather.png", folder + L"Weather (2).png"}), files);
  EXPECT_EQ(std::string("\x89PNG", 4), ReadFile(folder + L"Weather (2).png").substr(0, 4));

  EXPECT_EQ(folder + L"Weather.pdf", Save(weather.get(), *weatherSink, L"CMD=PRINT\n", L"pdf"));
  EXPECT_EQ(folder + L"Weather.html", Save(weather.get(), *weatherSink, L"CMD=SAVEHTML\n", L"html"));
}

// Pages have no window each: every one is a tab of Chromium's window, and none may stop
// drawing because another came after it (a hidden tab runs no animation frames).
TEST_F(WebpageSaveTest, ATabOpenedBeforeAnotherKeepsDrawing) {
  m_server.Html("/news", "<html><head><title>News</title></head><body><h1>Today</h1></body></html>");
  m_server.Html("/frames", "<html><head><title>waiting</title></head><body><script>"
                           "let frames = 0;"
                           "function tick() { if (++frames === 3) document.title = document.visibilityState + "
                           "' drawn'; else requestAnimationFrame(tick); }"
                           "requestAnimationFrame(tick);</script></body></html>");
  std::shared_ptr<CRecordingSink> firstSink, laterSink;
  PagePtr first = NewPage(&firstSink);
  ASSERT_GE(Load(first.get(), *firstSink, m_server.Url("/news")), 0);
  PagePtr later = NewPage(&laterSink);
  ASSERT_GE(Load(later.get(), *laterSink, m_server.Url("/news")), 0);
  size_t from = firstSink->Count();
  ASSERT_EQ(S_OK, Navigate(first.get(), m_server.Url("/frames")));
  EXPECT_GE(firstSink->WaitFor(L"TITLECHANGE", L"TITLE=visible drawn", from), 0);
}

TEST_F(WebpageSaveTest, APageWhoseWindowOpenedAnotherStillSavesAnImage) {
  m_options.blockPopups = false;
  m_server.Html("/opener", "<html><head><title>Opener</title></head><body>"
                           "<script>window.open('/child')</script></body></html>");
  m_server.Html("/child", "<html><head><title>Child</title></head><body>child</body></html>");
  std::shared_ptr<CRecordingSink> sink, childSink;
  PagePtr opener;
  PagePtr child = LoadOpenerAndAdopt(m_server.Url("/opener"), opener, &sink, &childSink);
  ASSERT_TRUE(child);
  ASSERT_GE(childSink->WaitFor(L"DOCUMENTCOMPLETE"), 0);
  std::wstring folder = W(m_options.downloadsFolder) + L"/";
  EXPECT_EQ(folder + L"Opener.png", Save(opener.get(), *sink, L"CMD=SAVEIMGE\n", L"png"));
  EXPECT_EQ(folder + L"Child.png", Save(child.get(), *childSink, L"CMD=SAVEIMGE\n", L"png"));
}

TEST_F(WebpageSaveTest, ASaveOvertakenByANavigationEndsInTimeUnderThePagesName) {
  // The image is asked for, then the tab moves to a page that never comes: the capture
  // cannot finish, and the save still ends, once, within its time limit.
  m_options.saveTimeout = std::chrono::seconds(3);
  m_server.Html("/weather", "<html><head><title>Weather</title></head><body><h1>Sunny</h1></body></html>");
  m_server.Route("/never", HttpAnswer{200, "text/html", "", true});
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/weather")), 0);
  size_t from = sink->Count();
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=SAVEIMGE\n"));
  ASSERT_EQ(S_OK, Navigate(page.get(), m_server.Url("/never")));
  int at = sink->WaitFor(L"SAVECOMPLETE", L"KIND=png\n", from);
  ASSERT_GE(at, 0);
  std::wstring file = CRecordingSink::Param(sink->Events()[at].value, L"FILE");
  if (!file.empty()) EXPECT_EQ(W(m_options.downloadsFolder) + L"/Weather.png", file);
  else EXPECT_NE(L"", CRecordingSink::Param(sink->Events()[at].value, L"ERROR"));
  EXPECT_EQ(-1, sink->WaitFor(L"SAVECOMPLETE", L"", static_cast<size_t>(at) + 1, std::chrono::seconds(4)))
      << "one outcome per save";
}

TEST_F(WebpageSaveTest, AFolderThatCannotBeMadeGivesAnErrorEvent) {
  m_options.downloadsFolder = m_folder + "/file";
  std::ofstream(m_options.downloadsFolder) << "a file where the folder should be";
  m_options.downloadsFolder += "/downloads";
  m_server.Html("/doc", "<html><head><title>Doc</title></head><body>x</body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/doc")), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=SAVEHTML\n"));
  int at = sink->WaitFor(L"SAVECOMPLETE", L"KIND=html");
  ASSERT_GE(at, 0);
  EXPECT_NE(L"", CRecordingSink::Param(sink->Events()[at].value, L"ERROR"));
  EXPECT_EQ(L"", CRecordingSink::Param(sink->Events()[at].value, L"FILE"));
  EXPECT_TRUE(log.Contains("saving as html failed"));
}

TEST_F(WebpageSaveTest, PageDownloadsNeverReplaceAFile) {
  // A page may start downloads and name them; it may not overwrite what the downloads
  // folder holds (an earlier download, a saved page) nor leave it.
  std::filesystem::create_directories(m_options.downloadsFolder);
  std::ofstream(m_options.downloadsFolder + "/same.txt") << "mine";
  for (int i = 0; i < 3; ++i)
    m_server.Route("/file" + std::to_string(i), HttpAnswer{200, "text/plain", "download " + std::to_string(i), false});
  m_server.Html("/downloads",
                "<html><head><title>Downloads</title></head><body><script>"
                "const names = ['same.txt', 'same.txt', '../../outside.txt'];"
                "let i = 0;"
                "const next = () => {"
                "  const a = document.createElement('a');"
                "  a.href = '/file' + i; a.download = names[i];"
                "  document.body.appendChild(a); a.click();"
                "  if (++i < names.length) setTimeout(next, 300); else setTimeout(() => { document.title = 'done'; }, 300);"
                "};"
                "onload = next;"
                "</script></body></html>");
  CLogCapture log;
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/downloads")), 0);
  ASSERT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=done\n"), 0);
  std::string folder = m_options.downloadsFolder;
  // What the folder holds, by content: every download lands in it under a free name.
  auto files = [&] {
    std::map<std::string, std::string> byContent;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && name[0] != '.') byContent[ReadFile(W(entry.path().string()))] = name;
    }
    return byContent;
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (files().size() < 4 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::map<std::string, std::string> saved = files();
  EXPECT_EQ(4u, saved.size());
  EXPECT_EQ("same.txt", saved["mine"]);
  std::set<std::string> names = {saved["download 0"], saved["download 1"]};
  EXPECT_EQ((std::set<std::string>{"same (2).txt", "same (3).txt"}), names);
  EXPECT_NE("", saved["download 2"]);
  EXPECT_EQ(std::string::npos, saved["download 2"].find('/'));
  EXPECT_FALSE(std::filesystem::exists(m_folder + "/outside.txt"));
  EXPECT_FALSE(std::filesystem::exists("/tmp/outside.txt"));
  EXPECT_TRUE(log.Contains("downloaded " + m_server.Url("/file0") + " as " + folder + "/same ("));
  // Chromium's staging folder is the engine's own and goes with it.
  m_pages.clear();
  m_manager = nullptr;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    EXPECT_NE('.', entry.path().filename().string()[0]) << entry.path();
}

}  // namespace
}  // namespace webtest
