#include "platform/commandline.h"

namespace platform {

std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;  // also true for an argument that is empty so far ("")
  bool quoted = false;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
      ++i;
      continue;
    }
    inArgument = true;
    if (c == '\\') {
      size_t count = 0;
      while (i < text.size() && text[i] == '\\') ++count, ++i;
      if (i < text.size() && text[i] == '"') {
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          ++i;
        }
        // An even count leaves the quote to act as a quote.
      } else {
        current.append(count, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        current += '"';
        quoted = false;
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
      continue;
    }
    current += c;
    ++i;
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

bool QuotedProgram(const std::string& line, std::string* program, std::string* rest) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] != '"') return false;
  const size_t close = line.find('"', start + 1);
  *program = line.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1);
  *rest = close == std::string::npos ? std::string() : line.substr(close + 1);
  return true;
}

}  // namespace platform
