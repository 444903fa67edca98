// Saving a page as HTML, PNG and PDF into the downloads folder.
#include <fstream>
#include <iterator>

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

}  // namespace
}  // namespace webtest
