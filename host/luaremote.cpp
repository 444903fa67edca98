// The remote command hook of the Lua interface: a request goes in as a flat table, and
// the answer table that OnRemoteCommand returns comes out as one JSON line.
#include <cmath>

#include <nlohmann/json.hpp>

#include "host/luashell.h"
#include "host/remoteprotocol.h"

using nlohmann::json;

namespace {

// Deep enough for the answers (a list of tabs); anything deeper is cut.
constexpr int kDeepest = 4;

json FromLua(lua_State* L, int index, int depth) {
  switch (lua_type(L, index)) {
    case LUA_TBOOLEAN:
      return lua_toboolean(L, index) != 0;
    case LUA_TNUMBER: {
      const double number = lua_tonumber(L, index);
      if (std::floor(number) == number && std::fabs(number) < 9.0e15) return static_cast<long long>(number);
      return std::isfinite(number) ? json(number) : json(nullptr);
    }
    case LUA_TSTRING: {
      size_t size = 0;
      const char* text = lua_tolstring(L, index, &size);
      return std::string(text, size);
    }
    case LUA_TTABLE:
      break;
    default:
      return nullptr;
  }
  if (depth >= kDeepest) return nullptr;
  index = index < 0 ? lua_gettop(L) + index + 1 : index;
  const size_t length = lua_objlen(L, index);
  // A list (keys 1..n, or empty) is an array; any other table an object with text keys.
  size_t keys = 0;
  json object = json::object();
  lua_pushnil(L);
  while (lua_next(L, index) != 0) {
    ++keys;
    if (lua_type(L, -2) == LUA_TSTRING) object[lua_tostring(L, -2)] = FromLua(L, -1, depth + 1);
    lua_pop(L, 1);
  }
  if (keys != length) return object;
  json array = json::array();
  for (size_t i = 1; i <= length; ++i) {
    lua_rawgeti(L, index, static_cast<int>(i));
    array.push_back(FromLua(L, -1, depth + 1));
    lua_pop(L, 1);
  }
  return array;
}

}  // namespace

std::string CLuaShell::CallRemote(const std::string& requestLine) {
  const json request = json::parse(requestLine, nullptr, false);
  if (!request.is_object()) return RemoteError("not a request");
  if (!PushGlobalFunction("OnRemoteCommand")) return RemoteError("this interface takes no remote commands");
  lua_newtable(m_L);
  for (const auto& field : request.items()) {
    const json& value = field.value();
    if (value.is_boolean()) lua_pushboolean(m_L, value.get<bool>());
    else if (value.is_number()) lua_pushnumber(m_L, value.get<double>());
    else if (value.is_string()) lua_pushlstring(m_L, value.get_ref<const std::string&>().data(), value.get_ref<const std::string&>().size());
    else continue;
    lua_setfield(m_L, -2, field.key().c_str());
  }
  if (!Protected(1, "OnRemoteCommand", 1)) return RemoteError("the interface failed on the command");
  json answer = FromLua(m_L, -1, 0);
  lua_pop(m_L, 1);
  if (!answer.is_object() || !answer.contains("ok") || !answer["ok"].is_boolean())
    return RemoteError("the interface gave no answer");
  if (!answer["ok"].get<bool>() && !answer.contains("error")) answer["error"] = "refused";
  return answer.dump(-1, ' ', true, json::error_handler_t::replace);
}
