#pragma once
// A host callback that is set rarely and called often, from any thread. Each thread keeps
// its own reference to the current callback and takes the slow path (an atomic shared_ptr
// load) only after the callback was replaced, so a call costs one atomic load.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

template <class F>
class CCallbackSlot {
 public:
  CCallbackSlot() = default;
  CCallbackSlot(const CCallbackSlot&) = delete;
  CCallbackSlot& operator=(const CCallbackSlot&) = delete;

  void Set(F fn) {
    std::atomic_store(&m_value, std::make_shared<const F>(std::move(fn)));
    m_version.fetch_add(1, std::memory_order_acq_rel);
  }

  // Calls the current callback, if one is set, with the arguments.
  template <class... Args>
  void Call(Args&&... args) const {
    Cache& cache = ThreadCache();
    Refresh(cache);
    if (!cache.fn || !*cache.fn) return;
    // The callback may replace itself and notify again on this thread: a nested refresh
    // keeps the running callback in `retired` until the outermost call has returned.
    const F* running = cache.fn.get();
    struct Depth {
      Cache& c;
      explicit Depth(Cache& cache) : c(cache) { ++c.depth; }
      ~Depth() {
        if (--c.depth == 0) c.retired.clear();
      }
    } depth(cache);
    (*running)(std::forward<Args>(args)...);
  }

 private:
  struct Cache {
    const CCallbackSlot* owner = nullptr;
    uint64_t version = 0;
    std::shared_ptr<const F> fn;
    int depth = 0;
    std::vector<std::shared_ptr<const F>> retired;
  };

  static Cache& ThreadCache() {
    static thread_local Cache cache;
    return cache;
  }

  void Refresh(Cache& cache) const {
    const uint64_t version = m_version.load(std::memory_order_acquire);
    if (cache.owner == this && cache.version == version) return;
    if (cache.depth > 0 && cache.fn) cache.retired.push_back(std::move(cache.fn));
    cache.fn = std::atomic_load(&m_value);
    cache.owner = this;
    cache.version = version;
  }

  std::shared_ptr<const F> m_value;
  std::atomic<uint64_t> m_version{1};
};
