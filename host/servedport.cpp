#include "host/servedport.h"

#include <fstream>

namespace {

std::string PortFile(const std::string& profile) { return profile + "/served-port"; }

}  // namespace

int ReadServedPort(const std::string& profile) {
  std::ifstream file(PortFile(profile));
  std::string text;
  if (!std::getline(file, text) || text.empty() || text.size() > 5) return 0;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + (c - '0');
  }
  return port >= 1024 && port <= 65535 ? port : 0;
}

bool WriteServedPort(const std::string& profile, int port) {
  std::ofstream file(PortFile(profile), std::ios::trunc);
  file << port << '\n';
  return static_cast<bool>(file.flush());
}
