// uicontrol-remote: sends one command to the browser running on a profile and prints its
// answer. Exit status 0 when the answer is ok, 1 otherwise, 2 when no browser runs there.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/remoteclient.h"
#include "host/remoteprotocol.h"
#include "host/shelloptions.h"

namespace {

const char kUsage[] =
    "usage: uicontrol-remote [--profile DIR] COMMAND\n"
    "  version            the browser's protocol and version\n"
    "  list               the open tabs (id, title, address)\n"
    "  open URL           opens URL in a new tab\n"
    "  navigate ID URL    loads URL in tab ID\n"
    "  close ID           closes tab ID\n"
    "  --json LINE        sends LINE as it is (one JSON object)\n"
    "  --profile DIR      the browser's profile (default: the programs' default profile)\n";

int Usage(const std::string& error) {
  std::fprintf(stderr, "uicontrol-remote: %s\n%s", error.c_str(), kUsage);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string profile = DefaultProfileFolder();
  std::string line;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return 0;
    }
    if ((arg == "--profile" || arg == "--json") && i + 1 >= argc) return Usage("option " + arg + " needs a value");
    if (arg == "--profile") {
      profile = argv[++i];
    } else if (arg == "--json") {
      line = argv[++i];
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (line.empty()) {
    std::string error;
    line = RemoteRequestFromWords(argc - i, argv + i, &error);
    if (line.empty()) return Usage(error);
  } else if (i < argc) {
    return Usage("--json takes the whole request");
  }
  std::string answer, error;
  switch (SendRemoteLine(profile, line, &answer, &error)) {
    case RemoteResult::NoBrowser:
      std::fprintf(stderr, "uicontrol-remote: no browser runs on the profile %s\n", profile.c_str());
      return 2;
    case RemoteResult::Failed:
      std::fprintf(stderr, "uicontrol-remote: %s\n", error.c_str());
      return 1;
    case RemoteResult::Answered:
      break;
  }
  std::printf("%s\n", answer.c_str());
  return RemoteAnswerOk(answer) ? 0 : 1;
}
