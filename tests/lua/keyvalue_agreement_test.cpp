// The interface's key=value module (ui/model/keyvalue.lua) reads and writes texts exactly
// as the library's header does: the same texts give the same entries, the same entries
// the same text or the same refusal.
#include <gtest/gtest.h>

#include <lua.hpp>

#include <map>
#include <string>
#include <vector>

#include "platform/text.h"
#include "uicontrol/interfaces/keyvalue.h"

namespace {

using Entries = std::map<std::string, std::string>;

class LuaKeyValue {
 public:
  LuaKeyValue() {
    m_L = luaL_newstate();
    luaL_openlibs(m_L);
    const std::string setup = "package.path = '" UI_DIR "/?.lua;' .. package.path\n"
                              "keyvalue = require('model.keyvalue')";
    if (luaL_dostring(m_L, setup.c_str()) != 0) m_error = lua_tostring(m_L, -1);
  }
  ~LuaKeyValue() { lua_close(m_L); }
  const std::string& Error() const { return m_error; }

  // keyvalue.read(text, all) as a map.
  Entries Read(const std::string& text, bool all) {
    lua_getglobal(m_L, "keyvalue");
    lua_getfield(m_L, -1, "read");
    lua_pushlstring(m_L, text.data(), text.size());
    lua_pushboolean(m_L, all);
    Entries out;
    if (lua_pcall(m_L, 2, 1, 0) != 0) {
      ADD_FAILURE() << lua_tostring(m_L, -1);
    } else {
      for (lua_pushnil(m_L); lua_next(m_L, -2) != 0; lua_pop(m_L, 1)) out[ToString(-2)] = ToString(-1);
    }
    lua_pop(m_L, 2);
    return out;
  }

  // keyvalue.write / write_sanitized; false when the writer refused.
  bool Write(const char* function, const Entries& entries, std::string* text) {
    lua_getglobal(m_L, "keyvalue");
    lua_getfield(m_L, -1, function);
    lua_newtable(m_L);
    for (const auto& entry : entries) {
      lua_pushlstring(m_L, entry.first.data(), entry.first.size());
      lua_pushlstring(m_L, entry.second.data(), entry.second.size());
      lua_settable(m_L, -3);
    }
    bool written = false;
    if (lua_pcall(m_L, 1, 1, 0) != 0) {
      ADD_FAILURE() << lua_tostring(m_L, -1);
    } else if (lua_isstring(m_L, -1)) {
      *text = ToString(-1);
      written = true;
    }
    lua_pop(m_L, 2);
    return written;
  }

 private:
  std::string ToString(int index) {
    size_t length = 0;
    const char* text = lua_tolstring(m_L, index, &length);
    return std::string(text, length);
  }
  lua_State* m_L = nullptr;
  std::string m_error;
};

keyvalue::Map Wide(const Entries& entries) {
  keyvalue::Map out;
  for (const auto& entry : entries) out[platform::Utf8ToWide(entry.first)] = platform::Utf8ToWide(entry.second);
  return out;
}

std::string S(const char* text, size_t length) { return std::string(text, length); }

TEST(LuaKeyValue, ReadsEveryTextAsTheLibraryReadsIt) {
  LuaKeyValue lua;
  ASSERT_EQ(lua.Error(), "");
  const std::vector<std::string> texts = {
      "\nnoequals\n=value\nA=1\nA=2\r\nURL=http://x/?a=1&b=2\nB=last",
      "\n\nA=1\n", "K\nA=1\n", "A=1\nK\nB=2\n", "A=1\n\nB=2\n", "A=1\n\n\nB=2\n", "A=1\n\n", "A=1\nK",
      // A line of one character ends an event text whatever its bytes in UTF-8.
      "\xc3\xa9\nA=1\n", "\xe4\xb8\xad\nA=1\n", "\xf0\x9f\x98\x80\nA=1\n", "\xc3\xa9x\nA=1\n",
      "T=\xe4\xb8\xad\xe6\x96\x87\nU=\xc2\xae\n",
      // A NUL ends the text, as it ends the C string the library reads.
      S("A=1\0B=2\n", 8), S("A=1\nB=x\0y\nC=3\n", 14),
      "", "A", "=", "A=", "A=B=c\n", "AB=1\nA=2", "A=1\n\nA=2\nB", "COUNT=1f\nFOUND=TRUE\nTEXT=a=b\n"};
  for (const std::string& text : texts) {
    for (bool all : {false, true}) {
      const keyvalue::Map expected =
          keyvalue::Parse(platform::Utf8ToWide(text).c_str(), all ? keyvalue::Reading::kAllLines : keyvalue::Reading::kEventText);
      EXPECT_EQ(expected, Wide(lua.Read(text, all))) << (all ? "every line of: " : "event text: ") << text;
    }
  }
}

TEST(LuaKeyValue, WritesAndRefusesWhatTheLibraryWritesAndRefuses) {
  LuaKeyValue lua;
  ASSERT_EQ(lua.Error(), "");
  const std::vector<Entries> cases = {
      {{"URL", "u=1\r"}, {"CMD", "GO"}},
      {{"URL", "a\nB=injected"}},
      {{"URL", S("a\0b", 3)}},
      {{"A=B", "1"}},
      {{"", "1"}},
      {{"N\nM", "1"}},
      {{"CMD", "FIND"}, {"TEXT", "\xe4\xb8\xad a b"}},
      {{"b", "1"}, {"B", "2"}, {"a", "3"}, {"\xc3\xa9", "4"}},
      {},
  };
  for (const Entries& entries : cases) {
    std::wstring expected;
    const bool written = keyvalue::WriteChecked(Wide(entries), &expected);
    std::string text;
    ASSERT_EQ(written, lua.Write("write", entries, &text)) << (entries.empty() ? "" : entries.begin()->first);
    if (written) {
      EXPECT_EQ(expected, platform::Utf8ToWide(text));
    }
    ASSERT_TRUE(lua.Write("write_sanitized", entries, &text));
    EXPECT_EQ(keyvalue::WriteSanitized(Wide(entries)), platform::Utf8ToWide(text));
  }
}

}  // namespace
