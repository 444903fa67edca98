// A separate process for the logging tests.
//   append <file> <tag> <count> <length>  appends <count> lines to <file> in
//                                         LockAcrossProcesses mode; exit 0 when configured
//   defaults <folder>                     logs with the settings at load, the executable's
//                                         folder reported as <folder>
#include <cstdlib>
#include <string>

#include "payload_line.h"
#include "logging/logging.h"
#include "platform/system.h"
#include "platform/text.h"

namespace {

int Append(const std::string& file, const std::string& tag, int count, size_t length) {
  logging::SetPrefixItems(true, true, false, false);
  bool configured = logging::ConfigureLogging(platform::Utf8ToWide(file), logging::TargetFile,
                                              logging::LockAcrossProcesses, logging::AppendToOldLogFile, 0);
  for (int i = 0; i < count; ++i) LOG_AT(logging::LOG_INFO) << logtest::PayloadLine(tag, i, length);
  return configured ? 0 : 1;
}

bool g_evaluated = false;
bool Evaluated() {
  g_evaluated = true;
  return false;
}

int Defaults(const std::string& folder) {
  platform::SetModuleFileNameForTest(platform::Utf8ToWide(folder + "browser"));
  LOG_AT(logging::LOG_INFO) << "min=" << logging::GetMinimumLevel() << " verbosity=" << logging::GetVerbosity()
                            << " checks=" << logging::GetChecksSwitch();
  LOG_AT(logging::LOG_WARNING) << "warning";
  CHECK_REPORT(Evaluated());
  LOG_AT(logging::LOG_ERROR_REPORT) << "report";  // dialogs are off: no DebugMessage.exe
  return g_evaluated ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "append" && argc == 6) return Append(argv[2], argv[3], std::atoi(argv[4]), std::strtoul(argv[5], nullptr, 10));
  if (mode == "defaults" && argc == 3) return Defaults(argv[2]);
  return 2;
}
