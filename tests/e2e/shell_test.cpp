// The shell as a person runs it: with the real data store and Chromium page engine, on
// the pages shipped in the repository, driven by a scripted interface and, through a
// pseudo-terminal, by the default terminal interface.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/ptysession.h"
#include "host/localserver.h"

namespace {

bool HaveChromium() { return access("/usr/bin/chromium", X_OK) == 0; }

std::string TempProfile(const char* name) {
  std::string dir = ::testing::TempDir() + name + std::to_string(getpid());
  std::string command = "rm -rf '" + dir + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return dir;
}

// Runs the shell with its output captured; returns the exit status.
int RunShell(const std::string& args, std::string* output, const std::string& input = "/dev/null") {
  const std::string command = std::string(SHELL_PROGRAM) + " " + args + " <'" + input + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A terminal session with the shell on a served folder of its own pages.
class PtySession : public ptytest::PtySession {
 public:
  explicit PtySession(const std::string& profile, const char* option = nullptr)
      : ptytest::PtySession(SHELL_PROGRAM, Args(profile, option)) {}

 private:
  static std::vector<std::string> Args(const std::string& profile, const char* option) {
    std::vector<std::string> args = {"--profile", profile, "--serve", PAGES_DIR};
    if (option) args.push_back(option);
    return args;
  }
};

}  // namespace

TEST(Shell, HelpAndBadOptions) {
  std::string out;
  EXPECT_EQ(RunShell("--help", &out), 0);
  EXPECT_NE(out.find("--profile DIR"), std::string::npos);
  out.clear();
  EXPECT_EQ(RunShell("--no-such-option", &out), 2);
  EXPECT_NE(out.find("unknown option --no-such-option"), std::string::npos);
  out.clear();
  EXPECT_EQ(RunShell("--chromium /nonexistent/chromium --profile " + TempProfile("shell_nochromium_"), &out), 1);
  EXPECT_NE(out.find("Chromium was not found at /nonexistent/chromium"), std::string::npos) << out;
}

TEST(Shell, VersionIsTheProjectVersion) {
  std::string out;
  EXPECT_EQ(RunShell("--version", &out), 0);
  EXPECT_EQ(out.rfind("uicontrol-shell " PROJECT_VERSION_TEXT "\n", 0), 0u) << out;
  out.clear();
  EXPECT_EQ(RunShell("--help", &out), 0);
  EXPECT_NE(out.find("--version"), std::string::npos);
}

// A copy of the program in <prefix>/bin runs <prefix>/share/uicontrol/ui/main.lua by
// default, not the interface of the tree it was built in.
TEST(Shell, DefaultInterfaceBesideTheProgram) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string prefix = TempProfile("shell-prefix");
  const std::string ui = prefix + "/share/uicontrol/ui";
  ASSERT_EQ(std::system(("mkdir -p '" + prefix + "/bin' '" + ui + "' && cp '" SHELL_PROGRAM "' '" + prefix +
                         "/bin/'").c_str()),
            0);
  FILE* script = std::fopen((ui + "/main.lua").c_str(), "w");
  ASSERT_NE(script, nullptr);
  std::fputs("function OnStart() print('installed interface') host.quit(7) end\n", script);
  std::fclose(script);
  std::string out;
  const std::string command = prefix + "/bin/uicontrol-shell --profile '" + prefix + "/profile' </dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << out;
  EXPECT_NE(out.find("installed interface"), std::string::npos) << out;
}

TEST(Shell, ScriptedSessionAndTheNextStart) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string profile = TempProfile("shell_scripted_");
  const std::string common = "--profile '" + profile + "' --serve '" PAGES_DIR "' --ui '" SCRIPTED_UI "' -- ";
  std::string out;
  EXPECT_EQ(RunShell(common + "first '" UI_DIR "'", &out), 0) << out;
  EXPECT_NE(out.find("STEP three tabs titled: Notes \xe7\xac\x94\xe8\xae\xb0 \xc2\xae"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP navigation with back and forward"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP bookmark added and listed"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP tab closed and restored"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP the closed list holds each address once"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP reload keeps the title"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP picture of a background tab saved"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP zoom stored"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP zoom changes the picture"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP a crashed tab comes back on reload"), std::string::npos) << out;
  EXPECT_NE(out.find("SCRIPT OK"), std::string::npos) << out;
  struct stat st;
  EXPECT_EQ(stat((profile + "/ul.ini").c_str(), &st), 0) << "the favourite URL log lies beside the database";

  // Quitting saved the open tabs: the next start can restore them.
  out.clear();
  EXPECT_EQ(RunShell(common + "second '" UI_DIR "'", &out), 0) << out;
  EXPECT_NE(out.find("SCRIPT OK"), std::string::npos) << out;
}

TEST(Shell, TerminalInterface) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  PtySession session(TempProfile("shell_pty_"));
  ASSERT_TRUE(session.WaitFor("uicontrol start page")) << session.Screen();
  size_t mark = session.Size();
  session.Type("open news.html\n");
  ASSERT_TRUE(session.WaitFor("Local news", mark)) << session.Screen();
  mark = session.Size();
  session.Type("help\n");
  ASSERT_TRUE(session.WaitFor("commands:", mark)) << session.Screen();
  mark = session.Size();
  session.Type("frobnicate\n");
  ASSERT_TRUE(session.WaitFor("unknown command: frobnicate", mark)) << session.Screen();
  mark = session.Size();
  session.Type("tab 1\n");
  session.Type("go weather.html\n");
  mark = session.Size();
  session.Type("engines\n");
  ASSERT_TRUE(session.WaitFor("search engines", mark)) << session.Screen();
  session.Type("quit\n");
  EXPECT_EQ(session.Wait(), 0);
}

// Commands typed with a wrong argument answer with their usage and change nothing; input
// that is no terminal is read line by line.
TEST(Shell, CommandsCheckTheirArguments) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string profile = TempProfile("shell_arguments_");
  const std::string input = profile + "-input";
  std::ofstream(input) << "close abc\ntab\nrestore abc\nengine 99\nzoom abc\nzoom 100000\nzoom -5\n"
                          "text 99\nfollow x\nsave everything\nbookmarks open 7\nread now\nzoom\n";
  std::string out;
  EXPECT_EQ(RunShell("--profile '" + profile + "' --serve '" PAGES_DIR "'", &out, input), 0);
  for (const char* usage : {"usage: close [N]", "usage: tab N", "usage: restore N", "usage: engine ID",
                            "usage: text [0-4]", "usage: follow N [new]", "usage: save html|image|pdf",
                            "usage: bookmarks [open N|delete N]", "usage: read "}) {
    EXPECT_NE(out.find(usage), std::string::npos) << usage << "\n" << out;
  }
  size_t zoomUsages = 0;
  for (size_t at = out.find("usage: zoom [25-500]"); at != std::string::npos; at = out.find("usage: zoom [25-500]", at + 1))
    ++zoomUsages;
  EXPECT_GE(zoomUsages, 3u) << out;
  // Nothing was changed by them: the zoom is what it was, the one tab is still open.
  EXPECT_NE(out.find("zoom: 100%"), std::string::npos) << out;
  EXPECT_EQ(out.find("default engine"), std::string::npos) << out;
  EXPECT_EQ(out.find("error"), std::string::npos) << out;
  std::remove(input.c_str());
}

// A person reading pages in the terminal: the text and the links of a served page, a
// link followed, a search, the line editor's history and completion, a mistyped
// argument, and Ctrl-C, after which the next start reopens the tabs.
TEST(Shell, ReadingPagesInTheTerminal) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string profile = TempProfile("shell_reader_");
  {
    PtySession session(profile);
    ASSERT_TRUE(session.WaitFor("uicontrol start page", 0, 60)) << session.Screen();

    // One shell per profile.
    std::string out;
    EXPECT_EQ(RunShell("--profile '" + profile + "'", &out), 1);
    EXPECT_NE(out.find("is in use by another uicontrol-shell"), std::string::npos) << out;

    size_t mark = session.Size();
    session.Type("open news.html\n");
    ASSERT_TRUE(session.WaitFor("Local news", mark, 60)) << session.Screen();
    mark = session.Size();
    session.Type("read\n");
    ASSERT_TRUE(session.WaitFor("Nothing happened today, which is good news.", mark, 60)) << session.Screen();
    ASSERT_TRUE(session.WaitFor("-- end of Local news", mark, 60)) << session.Screen();
    mark = session.Size();
    session.Type("q");
    ASSERT_TRUE(session.WaitFor("address: ", mark, 60)) << session.Screen();

    mark = session.Size();
    session.Type("links\n");
    ASSERT_TRUE(session.WaitFor("/weather.html", mark, 60)) << session.Screen();
    mark = session.Size();
    // Half a command typed while the page loads and the screen is redrawn stays typed.
    session.Type("follow 2\nfind th");
    ASSERT_TRUE(session.WaitFor("*[2] Weather", mark, 60)) << session.Screen();

    mark = session.Size();
    session.Type("e\n");
    ASSERT_TRUE(session.WaitFor("match 1 of 3 for \"the\" (3 matches)", mark, 60)) << session.Screen();
    // Up recalls the last command: the search goes on to the next match.
    mark = session.Size();
    session.Type("\x1b[A\n");
    ASSERT_TRUE(session.WaitFor("match 2 of 3 for \"the\"", mark, 60)) << session.Screen();

    // Tab completes "boo" as far as the commands agree: "bookmark".
    mark = session.Size();
    session.Type("boo\t\n");
    ASSERT_TRUE(session.WaitFor("bookmarked http://127.0.0.1:", mark, 60)) << session.Screen();
    mark = session.Size();
    session.Type("bookmark\n");
    ASSERT_TRUE(session.WaitFor("already bookmarked: http://127.0.0.1:", mark, 60)) << session.Screen();

    // Results in words: a save, and a load that fails once, with its reason.
    mark = session.Size();
    session.Type("save html\n");
    ASSERT_TRUE(session.WaitFor("saved " + profile + "/downloads/Weather.html", mark, 60)) << session.Screen();
    mark = session.Size();
    session.Type("open 127.0.0.1:1\n");
    ASSERT_TRUE(session.WaitFor("tab 3: could not load http://127.0.0.1:1/: unsafe port", mark, 60)) << session.Screen();
    mark = session.Size();
    session.Type("close\n");
    ASSERT_TRUE(session.WaitFor("*[2] Weather\r", mark, 60)) << session.Screen();

    mark = session.Size();
    session.Type("zoom abc\n");
    ASSERT_TRUE(session.WaitFor("usage: zoom [25-500]", mark, 60)) << session.Screen();
    mark = session.Size();
    session.Type("tab 9\n");
    ASSERT_TRUE(session.WaitFor("no tab 9 (2 open)", mark, 60)) << session.Screen();

    // A crashed tab is marked in the strip until reload brings it back.
    mark = session.Size();
    session.Type("go chrome://crash\n");
    ASSERT_TRUE(session.WaitFor("tab 2: the page crashed; reload brings it back", mark, 60)) << session.Screen();
    ASSERT_TRUE(session.WaitFor(" (crashed)", mark, 60)) << session.Screen();
    mark = session.Size();
    session.Type("reload\n");
    ASSERT_TRUE(session.WaitFor("*[2] Weather\r", mark, 60)) << session.Screen();

    session.Type("\x03");
    EXPECT_EQ(session.Wait(), 0) << "Ctrl-C quits as quit does";
  }
  std::ifstream sessionFile(profile + "/session");
  std::stringstream kept;
  kept << sessionFile.rdbuf();
  PtySession next(profile, "--restore");
  ASSERT_TRUE(next.WaitFor("reopened 2 tabs of the last run", 0, 60)) << "kept:\n" << kept.str() << next.Screen();
  ASSERT_TRUE(next.WaitFor(" [1] uicontrol start page  *[2] Weather\r", 0, 60)) << next.Screen();
  next.Type("quit\n");
  EXPECT_EQ(next.Wait(), 0);
}

// A served folder with the shell's pages and a long page: a numbered list whose items
// are paragraphs, two links at the top and many paragraphs below.
std::string PagesWithALongOne(const char* name) {
  const std::string pages = TempProfile(name);
  std::filesystem::create_directories(pages);
  for (const auto& page : std::filesystem::directory_iterator(PAGES_DIR))
    std::filesystem::copy_file(page.path(), pages + "/" + page.path().filename().string());
  std::ofstream long_page(pages + "/long.html");
  long_page << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Long page</title></head><body>"
               "<h1>Long page</h1><p><a href=\"news.html\">News</a> \xc2\xb7 <a href=\"weather.html\">Weather</a></p>"
               "<ol><li><p>First step as a paragraph.</p></li><li><p>Second step.</p></li></ol>";
  for (int i = 1; i <= 150; ++i) long_page << "<p>Paragraph " << i << " of the long page.</p>";
  long_page << "<p>The very last words.</p></body></html>";
  return pages;
}

// A person reading a long page in place, as in w3m or less: the page asked for while it
// loads, a screen at a time forwards and back, searched, jumped to its end and top,
// Ctrl-C leaving the browser running, a link followed by its number and one opened in a
// new tab; every command answering in words, the command typed kept above its answer,
// old answers gone, and addresses the browser does not open refused.
TEST(Shell, ReadingInPlaceAndCommandsThatAnswer) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string pages = PagesWithALongOne("shell_inplace_pages_");
  const std::string profile = TempProfile("shell_inplace_");
  ptytest::PtySession session(SHELL_PROGRAM, {"--profile", profile, "--serve", pages});
  ASSERT_TRUE(session.WaitFor("uicontrol start page", 0, 90)) << session.Screen();

  // Asked for at once, the text waits for the page, then shows its first screen.
  size_t mark = session.Size();
  session.Type("open long.html\nread\n");
  ASSERT_TRUE(session.WaitFor("waiting for the page to load", mark, 90)) << session.Screen();
  ASSERT_TRUE(session.WaitFor("1. First step as a paragraph.", mark, 90)) << session.Screen();
  ASSERT_TRUE(session.WaitFor("2. Second step.", mark, 90)) << session.Screen();
  ASSERT_TRUE(session.WaitFor("News[1] \xc2\xb7 Weather[2]", mark, 90)) << session.Screen();
  ASSERT_TRUE(session.WaitFor("-- more ", mark, 90)) << session.Screen();

  // Searching, the next match, back a screen, the end and the top (each screen ends with
  // the pager's prompt).
  const auto pager = [&session, &mark](const std::string& keys, const std::string& shown, const char* prompt) {
    mark = session.Size();
    session.Type(keys);
    return session.WaitFor(shown, mark, 90) && session.WaitFor(prompt, mark, 90);
  };
  ASSERT_TRUE(pager("/of the long\n", "\x1b[KParagraph 1 of the long page.", "-- more ")) << session.Screen();
  ASSERT_TRUE(pager("n\n", "\x1b[KParagraph 2 of the long page.", "-- more ")) << session.Screen();
  ASSERT_TRUE(pager("/paragraph 120\n", "\x1b[KParagraph 120 of the long page.", "-- more ")) << session.Screen();
  ASSERT_TRUE(pager("/no such words\n", "no \"no such words\"", "-- ")) << session.Screen();
  ASSERT_TRUE(pager("G\n", "The very last words.", "-- end of Long page")) << session.Screen();
  ASSERT_TRUE(pager("b\n", "Paragraph", "-- more ")) << session.Screen();
  EXPECT_EQ(session.Screen().find("The very last words.", mark), std::string::npos) << session.Screen().substr(mark);
  ASSERT_TRUE(pager("g\n", "Long page\r\n\x1b[K=========", "-- more ")) << session.Screen();

  // Ctrl-C while reading leaves the text, not the browser.
  mark = session.Size();
  session.Type("\x03");
  ASSERT_TRUE(session.WaitFor("address: ", mark, 90)) << session.Screen();

  // The links with their text; a link followed by its number at the pager.
  mark = session.Size();
  session.Type("links\n");
  ASSERT_TRUE(session.WaitFor("[2] Weather  http://127.0.0.1:", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("2\n");
  ASSERT_TRUE(session.WaitFor("*[2] Weather\r", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("back\n");
  ASSERT_TRUE(session.WaitFor("*[2] Long page", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("read\n");
  ASSERT_TRUE(session.WaitFor("-- more ", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("F 1\n");
  ASSERT_TRUE(session.WaitFor("*[3] Local news\r", mark, 90)) << session.Screen();

  // Every command answers, below the command as typed; the answers of earlier commands go.
  mark = session.Size();
  session.Type("frobnicate\n");
  ASSERT_TRUE(session.WaitFor("unknown command: frobnicate", mark, 90)) << session.Screen();
  struct Answer {
    const char* typed;
    std::string answer;
  };
  const std::vector<Answer> answers = {
      {"back", "no earlier page in this tab"},
      {"forward", "no later page in this tab"},
      {"mute", "muted: this tab plays no sound"},
      {"unmute", "unmuted: this tab may play sound"},
      {"stop", "nothing to stop: the page has loaded"},
      {"tab 99", "no tab 99 (3 open)"},
      {"close 42", "no tab 42 (3 open)"},
      {"go javascript:alert(1)", "javascript: addresses are not opened"},
      {"go gopher://example.org/", "unsupported address gopher:"},
      {"engine add mine ftp://example.org/", "the address must start with http:// or https://"},
      {"engine add mine http://127.0.0.1:9/find?q=%s", "engine mine added"},
      {"engines", "search engines:"},
      {"engine local", "default engine: local"},
  };
  for (const Answer& a : answers) {
    mark = session.Size();
    session.Type(std::string(a.typed) + "\n");
    const std::string shown = std::string("> ") + a.typed + "\r\n\x1b[K" + a.answer;
    ASSERT_TRUE(session.WaitFor(shown, mark, 90)) << a.typed << "\n" << session.Screen().substr(mark);
    // The screens drawn since the command was typed no longer show the old answer.
    EXPECT_EQ(session.Screen().find("unknown command: frobnicate", session.Screen().find(shown, mark)),
              std::string::npos)
        << a.typed;
  }
  // The engines are listed once each, by their id alone.
  EXPECT_NE(session.Screen().find("  mine  mine\r"), std::string::npos) << session.Screen();
  EXPECT_EQ(session.Screen().find(". 1 "), std::string::npos) << session.Screen();

  // The local engine searches the served folder; its result is read once it has loaded.
  mark = session.Size();
  session.Type("search tea pots\nread\n");
  ASSERT_TRUE(session.WaitFor("You searched for: tea pots", mark, 90)) << session.Screen();
  ASSERT_TRUE(session.WaitFor("-- end of Local search", mark, 90)) << session.Screen();
  session.Type("q");

  // History entries open by their number.
  mark = session.Size();
  session.Type("history\n");
  ASSERT_TRUE(session.WaitFor("Local search  http://127.0.0.1:", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("history 1\n");
  ASSERT_TRUE(session.WaitFor("*[3] Local news", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("history 9\n");
  ASSERT_TRUE(session.WaitFor("no history entry 9 (", mark, 90)) << session.Screen();

  // The screen is redrawn in place: never cleared whole, which would push a copy of it
  // into the terminal's scrollback at every redraw.
  EXPECT_EQ(session.Screen().find("\x1b[2J"), std::string::npos);
  session.Type("quit\n");
  EXPECT_EQ(session.Wait(), 0);
  std::filesystem::remove_all(pages);
}

// Commands piped in: no screen-control codes, the page read once it has loaded, each
// command shown before its answer, each message once.
TEST(Shell, PipedCommandsGivePlainText) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string profile = TempProfile("shell_piped_");
  const std::string input = profile + "-input";
  std::ofstream(input) << "open news.html\nread\nlinks\nfrobnicate\ngo notes.html\nfind news\nquit\n";
  std::string out;
  EXPECT_EQ(RunShell("--profile '" + profile + "' --serve '" PAGES_DIR "'", &out, input), 0) << out;
  EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
  const size_t read = out.find("> read\n");
  ASSERT_NE(read, std::string::npos) << out;
  const size_t text = out.find("Nothing happened today, which is good news.", read);
  ASSERT_NE(text, std::string::npos) << out;
  const size_t links = out.find("> links\n[1] Back to the start page  http://127.0.0.1:", text);
  EXPECT_NE(links, std::string::npos) << out;
  EXPECT_NE(out.find("[2] Weather  http://127.0.0.1:", links), std::string::npos) << out;
  const size_t unknown = out.find("unknown command: frobnicate");
  ASSERT_NE(unknown, std::string::npos) << out;
  EXPECT_EQ(out.find("unknown command: frobnicate", unknown + 1), std::string::npos) << out;
  const size_t find = out.find("> find news\n");
  ASSERT_NE(find, std::string::npos) << out;
  EXPECT_NE(out.find("no match for \"news\"", find), std::string::npos) << out;
  std::remove(input.c_str());
}

// The page of the report: a moment after loading it tries to drive the browser's dialogs
// and to close its tab, then shows in its title what it could see.
static const char kDrivePage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Drive</title></head><body><script>\n"
    "setTimeout(() => {\n"
    "  try { window.uicontrol.showEditFavorite(1, 0, \"My Bank\", \"http://phish.example/\"); } catch (e) {}\n"
    "  try { window.__uicontrolHost(JSON.stringify({type: \"addfav\", parentId: 0})); } catch (e) {}\n"
    "  try { window.__uicontrolHost(JSON.stringify({type: \"close\"})); } catch (e) {}\n"
    "  document.title = \"host=\" + typeof window.__uicontrolHost + \" api=\" + typeof window.uicontrol;\n"
    "  window.close();\n"
    "}, 50);\n"
    "</script></body></html>\n";

static const char kFloodPage[] =
    "<!DOCTYPE html><html><head><title>start</title></head><body><script>\n"
    "onload = async () => {\n"
    "  for (let i = 0; i < 10000; ++i) { document.title = \"title \" + i; await null; }\n"
    "  document.title = \"last title\";\n"
    "};\n"
    "</script></body></html>\n";

TEST(Shell, WebContentFromAnotherOriginCannotDriveTheBrowser) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string profile = TempProfile("shell_security_");
  // The same pages, served by the shell (its own pages, trusted) and by a second server
  // on another port (another origin, untrusted).
  const std::string pages = TempProfile("shell_security_pages_");
  std::filesystem::create_directories(pages);
  std::ofstream(pages + "/drive.html") << kDrivePage;
  std::ofstream(pages + "/flood.html") << kFloodPage;
  std::ofstream(pages + "/quiet.html") << "<!DOCTYPE html><html><head><title>Quiet</title></head><body>q</body></html>";
  CLocalServer other;
  std::string error;
  ASSERT_TRUE(other.Start(pages, &error)) << error;

  std::string out;
  const std::string args = "--profile '" + profile + "' --serve '" + pages + "' --ui '" SCRIPTED_SECURITY "' -- '" UI_DIR
                           "' '" + other.BaseURL() + "'";
  EXPECT_EQ(RunShell(args, &out), 0) << out;
  EXPECT_NE(out.find("STEP untrusted page: no dialog, no close, no binding"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP trusted page: edit dialog and close"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP another page loads while one floods its title"), std::string::npos) << out;
  EXPECT_NE(out.find("STEP flood: last title delivered"), std::string::npos) << out;
  EXPECT_NE(out.find("SCRIPT OK"), std::string::npos) << out;
  other.Stop();

  // The engine named the untrusted origin when it ignored the page's window.close().
  std::ifstream logFile(profile + "/shell.log");
  std::stringstream log;
  log << logFile.rdbuf();
  std::string origin = other.BaseURL().substr(0, other.BaseURL().size() - 1);
  EXPECT_NE(log.str().find("window.close() ignored: the tab was not opened by a script and " + origin +
                           " is not a trusted origin"),
            std::string::npos)
      << log.str();
  std::filesystem::remove_all(pages);
}

// A page stuck in a script: the text asked of it is given up with a message when the
// page is reported not responding, the tab strip says so, `kill` ends the page, and the
// next command brings the tab back with a page that works.
TEST(Shell, AHungPageIsShownGivenUpAndEnded) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string pages = PagesWithALongOne("shell_hang_pages_");
  {
    // Selecting a match (find) makes the page hang, after the find itself has answered.
    std::ofstream stuck(pages + "/stuck.html");
    stuck << "<!DOCTYPE html><html><head><title>Stuck page</title></head><body><p>stuck words</p>"
             "<script>document.onselectionchange = () => { while (true) {} };</script></body></html>";
  }
  const std::string profile = TempProfile("shell_hang_");
  ptytest::PtySession session(SHELL_PROGRAM, {"--profile", profile, "--serve", pages});
  ASSERT_TRUE(session.WaitFor("uicontrol start page", 0, 90)) << session.Screen();
  size_t mark = session.Size();
  session.Type("go stuck.html\n");
  ASSERT_TRUE(session.WaitFor("Stuck page", mark, 90)) << session.Screen();

  mark = session.Size();
  session.Type("find stuck\nread\n");
  ASSERT_TRUE(session.WaitFor("gave up reading the page: it is not responding", mark, 90)) << session.Screen();
  ASSERT_TRUE(session.WaitFor("(not responding ", mark, 90)) << session.Screen();
  ASSERT_TRUE(session.WaitFor("kill 1 ends it", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("read\n");
  ASSERT_TRUE(session.WaitFor("the page is not responding: it cannot be read now", mark, 90)) << session.Screen();

  mark = session.Size();
  session.Type("kill 7\n");
  ASSERT_TRUE(session.WaitFor("no tab 7 (1 open)", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("kill\n");
  ASSERT_TRUE(session.WaitFor("(crashed)", mark, 90)) << session.Screen();
  mark = session.Size();
  session.Type("go news.html\nread\n");
  ASSERT_TRUE(session.WaitFor("Nothing happened today, which is good news.", mark, 90)) << session.Screen();
  session.Type("q");
  session.Type("quit\n");
  EXPECT_EQ(session.Wait(), 0);
  std::filesystem::remove_all(pages);
}
