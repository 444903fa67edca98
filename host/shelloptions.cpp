#include "host/shelloptions.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "uicontrol/version.h"

std::string DefaultProfileFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/uicontrol";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/uicontrol";
}

std::string ShellUsage() {
  return "usage: uicontrol-shell [options] [ADDRESS...] [-- script arguments]\n"
         "  --profile DIR    data folder (database, browser profile, downloads)\n"
         "                   default: $XDG_DATA_HOME/uicontrol or ~/.local/share/uicontrol\n"
         "  --ui SCRIPT      the Lua user interface (default: the terminal interface)\n"
         "  --serve DIR      serve the pages of DIR on 127.0.0.1 and start at its index;\n"
         "                   the port is chosen once per profile and kept\n"
         "  --home URL       the home page\n"
         "  --chromium PATH  the Chromium program (default /usr/bin/chromium)\n"
         "  --visible        show Chromium's window when a display exists\n"
         "  --restore        reopen the tabs that were open when the shell last quit\n"
         "  --lua-memory MiB the most memory the interface's script may hold (default 1024)\n"
         "  --help           this text\n"
         "  --version        the version of the shell and of the library\n"
         "  ADDRESS...       open these addresses; when a browser runs on the profile, in it\n";
}

std::string ShellVersion() {
  return std::string("uicontrol-shell " UICONTROL_VERSION "\n"
                     "built on uicontrol " UICONTROL_VERSION " with Lua: " UICONTROL_LUA_NAME "\n");
}

std::string ScriptBesideProgram(const std::string& programPath, const std::string& relative,
                                const std::string& name) {
  const size_t slash = programPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : programPath.substr(0, slash);
  return folder + "/" + relative + "/" + name;
}

std::string UIFolderBesideProgram(const char* argv0, const char* relative) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv0);
  const std::string script = ScriptBesideProgram(program, relative, "main.lua");
  return script.substr(0, script.size() - std::strlen("/main.lua"));
}

int AnswerCommandLine(const char* program, bool parsed, const std::string& error, const ShellOptions& options,
                      const std::string& usage, const std::string& version) {
  if (!parsed) {
    std::fprintf(stderr, "%s: %s\n%s", program, error.c_str(), usage.c_str());
    return 2;
  }
  if (options.help || options.version) {
    std::printf("%s", options.help ? usage.c_str() : version.c_str());
    return 0;
  }
  return -1;
}

namespace {

// The interface itself needs a few MiB; above a TiB is no limit at all.
constexpr size_t kLuaMemoryMinMiB = 16, kLuaMemoryMaxMiB = size_t{1} << 20;

bool ParseMiB(const std::string& text, size_t* mib) {
  if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const size_t value = std::stoul(text);
  if (value < kLuaMemoryMinMiB || value > kLuaMemoryMaxMiB) return false;
  *mib = value;
  return true;
}

}  // namespace

bool ParseShellOptions(int argc, char** argv, const std::string& defaultUI, ShellOptions* options,
                       std::string* error) {
  options->profile = DefaultProfileFolder();
  options->ui = defaultUI;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "--visible") {
      options->visible = true;
    } else if (arg == "--restore") {
      options->restore = true;
    } else if (arg == "--profile") {
      if (!value(&options->profile)) return false;
    } else if (arg == "--ui") {
      if (!value(&options->ui)) return false;
    } else if (arg == "--serve") {
      if (!value(&options->serve)) return false;
    } else if (arg == "--home") {
      if (!value(&options->home)) return false;
    } else if (arg == "--chromium") {
      if (!value(&options->chromium)) return false;
    } else if (arg == "--lua-memory") {
      std::string mib;
      if (!value(&mib)) return false;
      if (!ParseMiB(mib, &options->luaMemoryMiB)) {
        *error = "--lua-memory needs a whole number of MiB from " + std::to_string(kLuaMemoryMinMiB) + " to " +
                 std::to_string(kLuaMemoryMaxMiB) + ", not \"" + mib + "\"";
        return false;
      }
    } else if (!arg.empty() && arg[0] != '-') {
      options->urls.push_back(arg);
    } else if (arg == "--") {
      options->scriptArgs.assign(argv + i + 1, argv + argc);
      break;
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}
