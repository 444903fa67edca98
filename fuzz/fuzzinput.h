#pragma once
// What every fuzz target shares: its entry point, the check that stops a run, and the
// few ways a target turns the input bytes into texts.
//
// A target is written as
//     FUZZ_TARGET(data, size) { ...; return 0; }
// which defines LLVMFuzzerTestOneInput for libFuzzer. The replay test compiles the same
// file with FUZZ_ENTRY set to a name of its own, so that all targets link into one program.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"

#ifndef FUZZ_ENTRY
#define FUZZ_ENTRY LLVMFuzzerTestOneInput
#endif
#define FUZZ_TARGET(data, size) extern "C" int FUZZ_ENTRY(const uint8_t* data, size_t size)

// A property that must hold for every input: a failure ends the run like a crash, so
// that libFuzzer saves the input and the replay test fails on it.
#define FUZZ_CHECK(condition, what)                                        \
  do {                                                                     \
    if (!(condition)) ::fuzz::Fail(__FILE__, __LINE__, #condition, what);  \
  } while (0)

namespace fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, const std::string& what) {
  std::fprintf(stderr, "%s:%d: check failed: %s: %s\n", file, line, condition, what.c_str());
  std::fflush(stderr);
  std::abort();
}

// The input split at every occurrence of `separator` (an input without one is one part;
// an empty input is one empty part).
inline std::vector<std::string> Split(const uint8_t* data, size_t size, char separator) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (static_cast<char>(data[i]) == separator) {
      parts.emplace_back();
    } else {
      parts.back().push_back(static_cast<char>(data[i]));
    }
  }
  return parts;
}

// Splits at the first `separator`: *head before it, *tail after it (empty without one).
inline void SplitOnce(const std::string& text, char separator, std::string* head, std::string* tail) {
  const size_t at = text.find(separator);
  *head = text.substr(0, at);
  *tail = at == std::string::npos ? std::string() : text.substr(at + 1);
}

// Bytes to wide text: UTF-8 as the library reads it (bad sequences become U+FFFD), plus an
// escape for code units UTF-8 cannot carry: byte 0xFE followed by three bytes (big-endian)
// gives that 24-bit unit as it is, so lone surrogates, values past U+10FFFF and NULs reach
// the code under test too. 0xFE never occurs in UTF-8.
inline std::wstring Wide(const std::string& bytes) {
  std::wstring out;
  std::string run;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) != 0xFE || i + 3 >= bytes.size()) {
      run.push_back(bytes[i]);
      continue;
    }
    out += platform::Utf8ToWide(run);
    run.clear();
    const auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])); };
    out.push_back(static_cast<wchar_t>((b(i + 1) << 16) | (b(i + 2) << 8) | b(i + 3)));
    i += 3;
  }
  out += platform::Utf8ToWide(run);
  return out;
}

// True for text that UTF-8 carries unchanged: no NUL, no surrogate, nothing past U+10FFFF.
inline bool IsPlainUnicode(const std::wstring& text) {
  for (wchar_t c : text) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u == 0 || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) return false;
  }
  return true;
}

// A short printable form of a text for check messages.
inline std::string Show(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u >= 0x20 && u < 0x7F && c != L'\\') {
      out.push_back(static_cast<char>(u));
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned>(u));
      out += buffer;
    }
    if (out.size() > 200) return out + "...";
  }
  return out;
}

}  // namespace fuzz
