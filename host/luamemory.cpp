#include "host/luamemory.h"

#include <cstdio>
#include <cstdlib>

namespace {

// What luaL_newstate installs: an error outside any protected call ends the program
// with its message (the shell calls the script only in protected calls).
int Panic(lua_State* L) {
  const char* message = lua_tostring(L, -1);
  std::fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n", message ? message : "?");
  return 0;
}

}  // namespace

lua_State* CLuaMemoryLimit::NewState() {
  lua_State* L = lua_newstate(&CLuaMemoryLimit::Allocate, this);
  if (L) lua_atpanic(L, &Panic);
  return L;
}

void* CLuaMemoryLimit::Allocate(void* self, void* block, size_t oldSize, size_t newSize) {
  auto* limit = static_cast<CLuaMemoryLimit*>(self);
  // Lua 5.1 gives the old size 0 for a new block.
  if (!block) oldSize = 0;
  if (newSize == 0) {
    std::free(block);
    limit->m_used -= oldSize;
    return nullptr;
  }
  // Shrinking never fails (Lua relies on it); growing past the limit does.
  if (limit->m_enforcing > 0 && newSize > oldSize &&
      limit->Used() + (newSize - oldSize) > limit->m_limit + limit->m_reserve)
    return nullptr;
  void* grown = std::realloc(block, newSize);
  if (!grown) return nullptr;
  limit->m_used = limit->m_used - oldSize + newSize;
  return grown;
}
