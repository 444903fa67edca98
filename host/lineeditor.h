#pragma once
// The shell's input: on a terminal, GNU readline in callback mode (editing keys, history
// kept in a file, completion asked of the interface), so that typing and the events that
// redraw the screen share one wait; otherwise plain lines as they come.
#include <functional>
#include <string>
#include <vector>

class CLineEditor {
 public:
  // `line` is null at the end of input.
  using LineHandler = std::function<void(const std::string* line)>;
  // Candidates for `word`, the text before it on the line being `before`.
  using Completer = std::function<std::vector<std::string>(const std::string& word, const std::string& before)>;

  // Readline when `fd` is a terminal (one editor at a time), plain lines otherwise.
  // `historyPath` may be empty (no history kept).
  CLineEditor(int fd, const std::string& historyPath, LineHandler onLine, Completer complete);
  ~CLineEditor();
  CLineEditor(const CLineEditor&) = delete;
  CLineEditor& operator=(const CLineEditor&) = delete;

  bool Interactive() const { return m_interactive; }
  int Fd() const { return m_fd; }
  void SetPrompt(const std::string& prompt);
  // Pager keys: space and q answer at once (without Enter), and answers stay out of the
  // history.
  void SetPagerKeys(bool on);
  // Reads what is available and hands over complete lines. False once input has ended.
  bool OnReadable();
  // Around any output while a line may be on the screen: hides the prompt and the typed
  // text, then shows them again where the output ended.
  void BeginOutput();
  void EndOutput();

  // A typed line as a command sees it: escape sequences and control characters removed,
  // blanks at either end kept (the interface trims).
  static std::string CleanLine(const std::string& line);

 private:
  static void OnReadlineLine(char* line);
  static char** OnReadlineComplete(const char* text, int start, int end);
  static char* NextCandidate(const char* text, int state);
  static int AcceptKey(int count, int key);
  void HandleLine(const std::string* line);

  const int m_fd;
  const bool m_interactive;
  const std::string m_historyPath;
  LineHandler m_onLine;
  Completer m_complete;
  std::string m_prompt = "> ";
  std::string m_pending;  // plain mode: text after the last line feed
  bool m_pager = false;
  static constexpr int kCtrlC = 3;
  int (*m_ctrlCBefore)(int, int) = nullptr;  // Ctrl-C's binding outside the pager (a readline command)
  bool m_ended = false;
  bool m_hidden = false;
  std::vector<std::string> m_candidates;
};
