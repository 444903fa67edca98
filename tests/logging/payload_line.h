#pragma once
// The text that the lock tests' writers log, so that a reader can tell a whole line.
#include <cstddef>
#include <string>

namespace logtest {

// "<tag>:<seq>:" then `length` copies of one letter, then "#".
inline std::string PayloadLine(const std::string& tag, int seq, size_t length) {
  return tag + ":" + std::to_string(seq) + ":" + std::string(length, static_cast<char>('a' + seq % 26)) + "#";
}

}  // namespace logtest
