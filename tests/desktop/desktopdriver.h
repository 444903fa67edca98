#pragma once
// Drives uicontrol-browser as a person does: on a private X server, with real key and
// mouse events (xdotool), reading what it shows (the chrome's state file and
// screenshots). Every wait has a deadline; nothing sleeps a fixed time.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace desktoptest {

// An X server of its own (Xvfb -displayfd), stopped with the object.
class PrivateX {
 public:
  PrivateX();
  ~PrivateX();
  bool Ok() const { return !m_display.empty(); }
  const std::string& Display() const { return m_display; }

 private:
  pid_t m_pid = -1;
  std::string m_display;
};

// The chrome's state file as name -> values (a name may repeat: "tab", "bookmark").
struct State {
  std::multimap<std::string, std::string> lines;
  std::string text;
  std::string Get(const std::string& name) const;
  std::vector<std::string> All(const std::string& name) const;
};
State ReadState(const std::string& path);

// An RGB image read through ImageMagick.
struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  bool Ok() const { return width > 0; }
  // Pixels of the rectangle within `tolerance` of the colour on each channel.
  int Count(int x, int y, int w, int h, unsigned r, unsigned g, unsigned b, int tolerance) const;
  // Pixels of the rectangle darker than `luminance` (0-255): text on a light ground.
  int Dark(int x, int y, int w, int h, int luminance) const;
  // The bounding box "x y w h" of the pixels of a colour (empty when none).
  bool Box(unsigned r, unsigned g, unsigned b, int tolerance, int* x, int* y, int* w, int* h) const;
};

class Browser {
 public:
  Browser(const std::string& display, const std::vector<std::string>& args, const std::string& log);
  ~Browser();
  bool Running();
  // Waits for the process to end; its exit status, or -1 after the deadline.
  int WaitExit(std::chrono::seconds deadline);
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  int m_status = -1;
};

// Runs a command with DISPLAY set; true when it exited with 0.
bool Run(const std::string& display, const std::string& command);
// xdotool key / type on the focused window.
bool Key(const std::string& display, const std::string& keys);
bool Type(const std::string& display, const std::string& text);
// Saves a screenshot of the whole screen to `path` and reads it.
Image Screenshot(const std::string& display, const std::string& path);

// Polls `condition` every 50 ms until it holds or `deadline` passes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds deadline = std::chrono::seconds(45));

}  // namespace desktoptest
