#include "host/lineeditor.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <readline/history.h>
#include <readline/readline.h>

namespace {

// Readline keeps its state in globals: one editor drives it at a time.
CLineEditor* g_editor = nullptr;
bool g_inHandler = false;
constexpr int kHistoryLength = 1000;

}  // namespace

CLineEditor::CLineEditor(int fd, const std::string& historyPath, LineHandler onLine, Completer complete)
    : m_fd(fd),
      m_interactive(isatty(fd) == 1 && g_editor == nullptr),
      m_historyPath(historyPath),
      m_onLine(std::move(onLine)),
      m_complete(std::move(complete)) {
  if (!m_interactive) return;
  g_editor = this;
  rl_readline_name = "uicontrol";
  // Interrupts and termination are the shell's own (they quit like "quit").
  rl_catch_signals = 0;
  rl_attempted_completion_function = &CLineEditor::OnReadlineComplete;
  // Addresses hold ':' '/' '?' and so on: only blanks separate words.
  rl_completer_word_break_characters = const_cast<char*>(" \t");
  using_history();
  stifle_history(kHistoryLength);
  if (!m_historyPath.empty()) read_history(m_historyPath.c_str());
  rl_callback_handler_install(m_prompt.c_str(), &CLineEditor::OnReadlineLine);
}

CLineEditor::~CLineEditor() {
  if (!m_interactive) return;
  if (!m_ended) {
    rl_callback_handler_remove();
    // The cursor leaves the prompt's line, so that what follows starts on a line of its own.
    std::fputs("\n", rl_outstream ? rl_outstream : stdout);
    std::fflush(rl_outstream ? rl_outstream : stdout);
  }
  if (!m_historyPath.empty()) write_history(m_historyPath.c_str());
  g_editor = nullptr;
}

void CLineEditor::SetPrompt(const std::string& prompt) {
  m_prompt = prompt;
  if (!m_interactive || m_ended) return;
  rl_set_prompt(m_prompt.c_str());
  if (!g_inHandler && !m_hidden) rl_forced_update_display();
}

void CLineEditor::SetPagerKeys(bool on) {
  if (m_interactive && on != m_pager) {
    rl_bind_key(' ', on ? &CLineEditor::AcceptKey : rl_insert);
    rl_bind_key('q', on ? &CLineEditor::AcceptKey : rl_insert);
    // While a text is shown the interface turns the terminal's interrupt key off, so
    // Ctrl-C arrives as a key: it leaves the text instead of ending the browser.
    Keymap keymap = rl_get_keymap();
    if (on) {
      m_ctrlCBefore = keymap[kCtrlC].type == ISFUNC ? keymap[kCtrlC].function : nullptr;
      rl_bind_key(kCtrlC, &CLineEditor::AcceptKey);
    } else if (m_ctrlCBefore) {
      rl_bind_key(kCtrlC, m_ctrlCBefore);
    } else {
      rl_unbind_key(kCtrlC);
    }
  }
  m_pager = on;
}

int CLineEditor::AcceptKey(int count, int key) {
  if (key == kCtrlC) {
    if (!g_editor || !g_editor->m_pager) return 0;
    // Whatever was typed goes: the text is left as "q" leaves it.
    rl_delete_text(0, rl_end);
    rl_point = rl_end = 0;
    rl_insert_text("q");
    return rl_newline(1, '\n');
  }
  // Only an empty line answers at once; otherwise the key is typed as usual.
  if (!g_editor || !g_editor->m_pager || rl_end != 0) return rl_insert(count, key);
  if (key == 'q') rl_insert_text("q");
  return rl_newline(1, '\n');
}

bool CLineEditor::OnReadable() {
  if (m_ended) return false;
  if (m_interactive) {
    rl_callback_read_char();
    return !m_ended;
  }
  char buffer[4096];
  const ssize_t n = read(m_fd, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) {
    if (!m_pending.empty()) {
      std::string last = CleanLine(m_pending);
      m_pending.clear();
      HandleLine(&last);
    }
    if (!m_ended) HandleLine(nullptr);
    return false;
  }
  m_pending.append(buffer, static_cast<size_t>(n));
  size_t eol;
  while (!m_ended && (eol = m_pending.find('\n')) != std::string::npos) {
    std::string line = CleanLine(m_pending.substr(0, eol));
    m_pending.erase(0, eol + 1);
    HandleLine(&line);
  }
  return !m_ended;
}

void CLineEditor::BeginOutput() {
  if (!m_interactive || m_ended || g_inHandler || m_hidden) return;
  rl_clear_visible_line();
  m_hidden = true;
}

void CLineEditor::EndOutput() {
  if (!m_hidden) return;
  m_hidden = false;
  if (m_ended) return;
  rl_on_new_line();
  rl_redisplay();
}

void CLineEditor::OnReadlineLine(char* line) {
  CLineEditor* self = g_editor;
  if (!self) {
    std::free(line);
    return;
  }
  g_inHandler = true;
  if (!line) {
    self->HandleLine(nullptr);
  } else {
    std::string text = CleanLine(line);
    std::free(line);
    if (!self->m_pager && text.find_first_not_of(' ') != std::string::npos) {
      HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
      if (!last || text != last->line) {
        add_history(text.c_str());
        if (!self->m_historyPath.empty()) write_history(self->m_historyPath.c_str());
      }
    }
    self->HandleLine(&text);
  }
  g_inHandler = false;
}

void CLineEditor::HandleLine(const std::string* line) {
  if (!line) {
    m_ended = true;
    if (m_interactive) rl_callback_handler_remove();
  }
  if (m_onLine) m_onLine(line);
}

char** CLineEditor::OnReadlineComplete(const char* text, int start, int) {
  rl_attempted_completion_over = 1;  // never file names
  if (!g_editor || !g_editor->m_complete) return nullptr;
  g_editor->m_candidates = g_editor->m_complete(text, std::string(rl_line_buffer, static_cast<size_t>(start)));
  return rl_completion_matches(text, &CLineEditor::NextCandidate);
}

char* CLineEditor::NextCandidate(const char* text, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  const size_t length = std::strlen(text);
  while (g_editor && next < g_editor->m_candidates.size()) {
    const std::string& candidate = g_editor->m_candidates[next++];
    if (candidate.compare(0, length, text) == 0) return strdup(candidate.c_str());
  }
  return nullptr;
}

std::string CLineEditor::CleanLine(const std::string& line) {
  std::string out;
  out.reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == 0x1b) {
      // An escape sequence: CSI (ESC [ ... final byte), OSC (ESC ] ... BEL or ESC \),
      // or ESC and one character.
      if (i + 1 < line.size() && line[i + 1] == '[') {
        i += 2;
        while (i < line.size() && !(line[i] >= 0x40 && line[i] <= 0x7e)) ++i;
      } else if (i + 1 < line.size() && line[i + 1] == ']') {
        i += 2;
        while (i < line.size() && line[i] != '\a' && !(line[i] == 0x1b && i + 1 < line.size() && line[i + 1] == '\\')) ++i;
        if (i < line.size() && line[i] == 0x1b) ++i;
      } else {
        ++i;
      }
      continue;
    }
    if (c == '\t') {
      out += ' ';
    } else if (c < 0x20 || c == 0x7f) {
      continue;
    } else if (c == 0xc2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(line[i + 1]) <= 0x9f) {
      ++i;  // a C1 control character in UTF-8
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
