#include "components/datastore/params.h"

#include <cstdio>
#include <ctime>

#include "components/datastore/textconv.h"
#include "uicontrol/interfaces/keyvalue.h"
#include "platform/system.h"

namespace datastore {

const std::string* CParams::Find(const char* key) const {
  auto it = values.find(key);
  return it == values.end() ? nullptr : &it->second;
}

CParams ParseParams(const wchar_t* text) {
  CParams params;
  if (!text) return params;
  int lineNo = 0;
  keyvalue::ForEachLine(text, keyvalue::Reading::kAllLines, [&](std::wstring_view line) {
    ++lineNo;
    if (line.empty()) return;
    std::wstring_view name, value;
    if (!keyvalue::SplitLine(line, &name, &value)) {
      const bool noEquals = line.find(L'=') == std::wstring_view::npos;
      params.problems.push_back("line " + std::to_string(lineNo) + (noEquals ? " has no '='" : " has no key"));
      return;
    }
    std::string key = ToUtf8(std::wstring(name));
    auto inserted = params.values.insert_or_assign(key, ToUtf8(std::wstring(value)));
    if (!inserted.second) params.problems.push_back("key \"" + key + "\" repeated; the last value counts");
  });
  return params;
}

bool ParseDecimal(const std::string& text, int64_t* value) {
  size_t i = 0;
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    i = 1;
  }
  const size_t digits = text.size() - i;
  if (digits == 0 || digits > 18) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  *value = negative ? -v : v;
  return true;
}

bool ParseHexIndex(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 8) return false;
  int64_t v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + d;
  }
  *value = v;
  return true;
}

namespace {

// Reads 1 to maxDigits digits at text[*pos].
bool ReadNumber(const std::string& text, size_t* pos, size_t maxDigits, int* out) {
  size_t start = *pos;
  int v = 0;
  while (*pos < text.size() && *pos - start < maxDigits && text[*pos] >= '0' && text[*pos] <= '9') {
    v = v * 10 + (text[*pos] - '0');
    ++*pos;
  }
  if (*pos == start) return false;
  *out = v;
  return true;
}

bool Expect(const std::string& text, size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string Format(int y, int mo, int d, int h, int mi, int s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  return buf;
}

}  // namespace

bool NormalizeDate(const std::string& text, std::string* normalized) {
  size_t pos = 0;
  int y, mo, d, h, mi, s;
  if (!ReadNumber(text, &pos, 4, &y) || !Expect(text, &pos, '-') || !ReadNumber(text, &pos, 2, &mo) ||
      !Expect(text, &pos, '-') || !ReadNumber(text, &pos, 2, &d) || !Expect(text, &pos, ' ') ||
      !ReadNumber(text, &pos, 2, &h) || !Expect(text, &pos, ':') || !ReadNumber(text, &pos, 2, &mi) ||
      !Expect(text, &pos, ':') || !ReadNumber(text, &pos, 2, &s) || pos != text.size()) {
    return false;
  }
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59) {
    return false;
  }
  *normalized = Format(y, mo, d, h, mi, s);
  return true;
}

std::string DateDaysAgo(int64_t days) {
  const time_t then = time(nullptr) - static_cast<time_t>(days) * 24 * 60 * 60;
  tm local{};
  localtime_r(&then, &local);
  return Format(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string NowDate() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return Format(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

}  // namespace datastore
