#pragma once
// The memory ceiling of the interface's Lua state: an allocator that keeps the total the
// state holds under a limit. An allocation that would pass it fails, which Lua turns into
// its "not enough memory" error: the script's call ends, the state and the interface go
// on. Used on the state's thread only.
//
// Not counted: the elements of std.uintarr arrays, which a std::vector holds outside the
// state's allocator. The library declares that class with its own copy of the binding
// layer inside libuicontrol.so (its symbols hidden), so a hook the host set in its copy
// would never be called by the code that grows the arrays; each array stays capped at
// 2^24 elements (64 MiB) by the binding layer, and every array holds a userdata block
// that is counted here.
#include <cstddef>

#include <lua.hpp>

class CLuaMemoryLimit {
 public:
  // A generous default: far above what the interfaces use, far below what ends a machine.
  static constexpr size_t kDefaultLimit = size_t{1024} << 20;

  explicit CLuaMemoryLimit(size_t limit = kDefaultLimit) : m_limit(limit) {}
  CLuaMemoryLimit(const CLuaMemoryLimit&) = delete;
  CLuaMemoryLimit& operator=(const CLuaMemoryLimit&) = delete;

  // A new state whose memory this limit keeps (null when the Lua build takes no
  // allocator of the host's, as LuaJIT on some platforms).
  lua_State* NewState();
  // The limit holds while one of these lives: around the script's calls. The host's own
  // few allocations between them (pushing a call's arguments) run outside any protected
  // call, where a failure would end the program, so they may pass it a little.
  // `reserve`: room above the limit for this call, so that the script's error handler
  // can still report an error that came from the limit (the state is full then).
  class Enforced {
   public:
    explicit Enforced(CLuaMemoryLimit& limit, size_t reserve = 0) : m_limit(limit), m_before(limit.m_reserve) {
      ++m_limit.m_enforcing;
      if (reserve > m_limit.m_reserve) m_limit.m_reserve = reserve;
    }
    ~Enforced() {
      --m_limit.m_enforcing;
      m_limit.m_reserve = m_before;
    }
    Enforced(const Enforced&) = delete;
    Enforced& operator=(const Enforced&) = delete;

   private:
    CLuaMemoryLimit& m_limit;
    const size_t m_before;
  };
  // The room the error handler gets above the limit.
  static constexpr size_t kErrorReserve = size_t{256} << 10;

  size_t Used() const { return m_used; }
  size_t Limit() const { return m_limit; }

 private:
  static void* Allocate(void* self, void* block, size_t oldSize, size_t newSize);

  const size_t m_limit;
  size_t m_used = 0;
  size_t m_reserve = 0;
  int m_enforcing = 0;
};
