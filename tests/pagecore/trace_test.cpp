// The same served pages and the same orders on both engines give the same sequence of
// events, timing aside: the keys in order, and the back and forward states in order.
// Progress is left out (each engine reports its own steps between 0 and 100; see the
// event table of components/webpage/README.md).
#include <filesystem>

#include "pagecore/contractfixture.h"

namespace webtest {
namespace {

struct Trace {
  std::vector<std::wstring> keys;     // every event but progress and history states
  std::vector<std::wstring> history;  // BACKFORWARDSTATECHANGE / GOFORWARDSTATECHANGE with their state
};

std::string Show(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += "  " + platform::WideToUtf8(line) + "\n";
  return text;
}

class TraceRun : public CPageFixture {
 public:
  TraceRun(Engine engine, const std::string& folder) : m_engine(engine) { m_folder = folder; }
  void TestBody() override {}
  HRESULT CreateManager(IWebPageManager** out) override { return MakeManager(m_engine, m_folder, out); }

  // Loads the pages of `server` and gives the orders; the trace of what the page told.
  Trace Run(CHttpServer& server) {
    Trace trace;
    std::shared_ptr<CRecordingSink> sink;
    PagePtr page = NewPage(&sink);
    if (!page) return trace;
    const std::string a = server.Url("/a"), b = server.Url("/b"), missing = server.Url("/missing");
    EXPECT_GE(Load(page.get(), *sink, a), 0);
    EXPECT_GE(Load(page.get(), *sink, b), 0);
    EXPECT_GE(sink->WaitFor(L"BACKFORWARDSTATECHANGE", L"STATE=TRUE\n"), 0);
    size_t from = sink->Count();
    EXPECT_EQ(S_OK, Order(page.get(), L"CMD=GOBACK\n"));
    EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(a) + L"\n", from), 0);
    EXPECT_GE(sink->WaitFor(L"GOFORWARDSTATECHANGE", L"STATE=TRUE\n", from), 0);
    from = sink->Count();
    EXPECT_EQ(S_OK, Order(page.get(), L"CMD=FIND\nTEXT=apple\n"));
    EXPECT_GE(sink->WaitFor(L"FINDRESULT", L"", from), 0);
    from = sink->Count();
    EXPECT_EQ(S_OK, Order(page.get(), L"CMD=SAVEHTML\n"));
    EXPECT_GE(sink->WaitFor(L"SAVECOMPLETE", L"", from), 0);
    EXPECT_GE(sink->WaitFor(L"STATEXTCHANGED", L"STATTEXT=Saved ", from), 0);
    from = sink->Count();
    EXPECT_EQ(S_OK, Navigate(page.get(), missing));
    EXPECT_GE(sink->WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(missing) + L"\n", from), 0);
    EXPECT_GE(sink->WaitFor(L"GOFORWARDSTATECHANGE", L"STATE=FALSE\n", from), 0);
    from = sink->Count();
    EXPECT_EQ(E_INVALIDARG, Order(page.get(), L"CMD=NOSUCHORDER\n"));  // refused at once: no event
    EXPECT_EQ(S_OK, Order(page.get(), L"CMD=FILEOPEN\n"));
    EXPECT_GE(sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=FILEOPEN", from), 0);
    EXPECT_GE(sink->WaitFor(L"STATEXTCHANGED", L"STATTEXT=FILEOPEN is not available", from), 0);
    for (const RecordedEvent& event : sink->Events()) {
      // A renderer slow to answer on a loaded machine may be reported by one engine only.
      if (event.key == L"PROGRESSCHANGE" || event.key == L"PAGEUNRESPONSIVE") continue;
      if (event.key == L"BACKFORWARDSTATECHANGE" || event.key == L"GOFORWARDSTATECHANGE") {
        trace.history.push_back(event.key + L" " + event.value);
        continue;
      }
      trace.keys.push_back(event.key);
    }
    ReleasePages();
    return trace;
  }

 private:
  const Engine m_engine;
};

TEST(PageTraceTest, BothEnginesTellTheSameEventsForTheSamePagesAndOrders) {
  const std::vector<Engine> engines = EnginesHere();
  if (engines.size() < 2) GTEST_SKIP() << "only one engine is built here";
  for (Engine engine : engines) {
    const std::string why = Unavailable(engine);
    if (!why.empty()) GTEST_SKIP() << EngineName(engine) << ": " << why;
  }
  CHttpServer server;
  server.Html("/a", "<html><head><title>Apples</title><link rel=\"icon\" href=\"/a.png\"></head>"
                    "<body><p>apple pie, apple juice</p></body></html>");
  server.Html("/b", "<html><body><p>no title here</p></body></html>");
  char pattern[] = "/tmp/page-trace-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(pattern));
  const std::string folder = pattern;
  std::vector<Trace> traces;
  for (Engine engine : engines) {
    SCOPED_TRACE(EngineName(engine));
    TraceRun run(engine, folder + "/" + EngineName(engine));
    traces.push_back(run.Run(server));
  }
  std::filesystem::remove_all(folder);
  EXPECT_EQ(traces[0].keys, traces[1].keys) << "Chromium:\n" << Show(traces[0].keys) << "WebKit:\n" << Show(traces[1].keys);
  EXPECT_EQ(traces[0].history, traces[1].history)
      << "Chromium:\n" << Show(traces[0].history) << "WebKit:\n" << Show(traces[1].history);
}

}  // namespace
}  // namespace webtest
