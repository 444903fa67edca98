#include "desktop/desktopdriver.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace desktoptest {

PrivateX::PrivateX() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  m_pid = fork();
  if (m_pid == 0) {
    dup2(fds[1], 3);  // -displayfd writes the display number there
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) m_display = ":" + number;
}

PrivateX::~PrivateX() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  waitpid(m_pid, nullptr, 0);
}

std::string State::Get(const std::string& name) const {
  auto it = lines.find(name);
  return it == lines.end() ? std::string() : it->second;
}

std::vector<std::string> State::All(const std::string& name) const {
  std::vector<std::string> out;
  auto range = lines.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
  return out;
}

State ReadState(const std::string& path) {
  State state;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    state.text += line + "\n";
    const size_t space = line.find(' ');
    if (space == std::string::npos) {
      state.lines.emplace(line, "");
    } else {
      state.lines.emplace(line.substr(0, space), line.substr(space + 1));
    }
  }
  return state;
}

int Image::Count(int x, int y, int w, int h, unsigned r, unsigned g, unsigned b, int tolerance) const {
  int count = 0;
  for (int row = std::max(0, y); row < std::min(height, y + h); ++row) {
    for (int col = std::max(0, x); col < std::min(width, x + w); ++col) {
      const unsigned char* p = &rgb[(static_cast<size_t>(row) * width + col) * 3];
      if (std::abs(p[0] - static_cast<int>(r)) <= tolerance && std::abs(p[1] - static_cast<int>(g)) <= tolerance &&
          std::abs(p[2] - static_cast<int>(b)) <= tolerance)
        ++count;
    }
  }
  return count;
}

int Image::Dark(int x, int y, int w, int h, int luminance) const {
  int count = 0;
  for (int row = std::max(0, y); row < std::min(height, y + h); ++row) {
    for (int col = std::max(0, x); col < std::min(width, x + w); ++col) {
      const unsigned char* p = &rgb[(static_cast<size_t>(row) * width + col) * 3];
      if ((p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000 < luminance) ++count;
    }
  }
  return count;
}

bool Image::Box(unsigned r, unsigned g, unsigned b, int tolerance, int* x, int* y, int* w, int* h) const {
  int left = width, top = height, right = -1, bottom = -1;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const unsigned char* p = &rgb[(static_cast<size_t>(row) * width + col) * 3];
      if (std::abs(p[0] - static_cast<int>(r)) <= tolerance && std::abs(p[1] - static_cast<int>(g)) <= tolerance &&
          std::abs(p[2] - static_cast<int>(b)) <= tolerance) {
        left = std::min(left, col);
        right = std::max(right, col);
        top = std::min(top, row);
        bottom = std::max(bottom, row);
      }
    }
  }
  if (right < 0) return false;
  *x = left;
  *y = top;
  *w = right - left + 1;
  *h = bottom - top + 1;
  return true;
}

Browser::Browser(const std::string& display, const std::vector<std::string>& args, const std::string& log) {
  m_pid = fork();
  if (m_pid == 0) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(BROWSER_PROGRAM));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(BROWSER_PROGRAM, argv.data());
    _exit(127);
  }
}

Browser::~Browser() {
  if (m_pid > 0 && Running()) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
}

bool Browser::Running() {
  if (m_pid <= 0) return false;
  if (m_status >= 0) return false;
  int status = 0;
  const pid_t done = waitpid(m_pid, &status, WNOHANG);
  if (done == m_pid) {
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return false;
  }
  return true;
}

int Browser::WaitExit(std::chrono::seconds deadline) {
  if (!WaitFor([this] { return !Running(); }, deadline)) return -1;
  return m_status;
}

bool Run(const std::string& display, const std::string& command) {
  const std::string full = "DISPLAY=" + display + " " + command + " >/dev/null 2>&1";
  return std::system(full.c_str()) == 0;
}

bool Key(const std::string& display, const std::string& keys) { return Run(display, "xdotool key " + keys); }

bool Type(const std::string& display, const std::string& text) {
  return Run(display, "xdotool type --delay 20 '" + text + "'");
}

Image Screenshot(const std::string& display, const std::string& path) {
  Image image;
  if (!Run(display, "import -window root '" + path + "'")) return image;
  FILE* pipe = popen(("convert '" + path + "' -depth 8 ppm:-").c_str(), "r");
  if (!pipe) return image;
  char magic[3] = {};
  int maxValue = 0;
  if (std::fscanf(pipe, "%2s %d %d %d", magic, &image.width, &image.height, &maxValue) == 4 &&
      std::string(magic) == "P6" && maxValue == 255) {
    std::fgetc(pipe);  // the one white space after the header
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    if (std::fread(image.rgb.data(), 1, image.rgb.size(), pipe) != image.rgb.size()) image.width = 0;
  } else {
    image.width = 0;
  }
  pclose(pipe);
  return image;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace desktoptest
