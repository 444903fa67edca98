#pragma once
// The small component framework that the library and its outside components share:
// interface IDs, signed 32-bit statuses, the IUnknown slots, a reference-count base
// and a reference-holding pointer.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "platform/windef.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }

typedef uint32_t ULONG;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

// {00000000-0000-0000-C000-000000000046}
constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Slots 0 to 2 of every component interface. Components are released, never deleted
// through an interface pointer, so interfaces have no virtual destructor.
struct IUnknown {
  virtual HRESULT QueryInterface(const GUID& riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

namespace qxcom {

// The interface ID of an interface type, declared by the interface as `static constexpr GUID iid`.
template <class T>
constexpr const GUID& iid_of() {
  return T::iid;
}

// Reference-count base of a component: a signed 32-bit count, 0 after construction,
// changed atomically. The deriving class decides what a count of zero means.
class CUnknownImp {
 public:
  CUnknownImp() = default;
  CUnknownImp(const CUnknownImp&) : m_lRef(0) {}
  CUnknownImp& operator=(const CUnknownImp&) { return *this; }
  virtual ~CUnknownImp() = default;

 protected:
  int32_t InternalAddRef() { return m_lRef.fetch_add(1) + 1; }
  int32_t InternalRelease() { return m_lRef.fetch_sub(1) - 1; }
  int32_t RefCount() const { return m_lRef.load(); }

 private:
  std::atomic<int32_t> m_lRef{0};
};

}  // namespace qxcom

namespace qxdk {
namespace UTIL {

// Holds one reference to a component interface: copying adds one, destruction releases it.
template <class T>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(std::nullptr_t) {}
  // Takes a new reference to p.
  com_ptr(T* p) : m_p(p) {
    if (m_p) m_p->AddRef();
  }
  com_ptr(const com_ptr& other) : com_ptr(other.m_p) {}
  // From a pointer to an implementing or derived type.
  template <class U, class = typename std::enable_if<std::is_convertible<U*, T*>::value>::type>
  com_ptr(const com_ptr<U>& other) : com_ptr(static_cast<T*>(other.get())) {}
  com_ptr(com_ptr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  ~com_ptr() { reset(); }

  com_ptr& operator=(const com_ptr& other) {
    com_ptr copy(other);
    swap(copy);
    return *this;
  }
  com_ptr& operator=(com_ptr&& other) noexcept {
    com_ptr moved(std::move(other));
    swap(moved);
    return *this;
  }
  com_ptr& operator=(std::nullptr_t) {
    reset();
    return *this;
  }

  void reset() {
    T* p = m_p;
    m_p = nullptr;
    if (p) p->Release();
  }
  void swap(com_ptr& other) noexcept {
    T* p = m_p;
    m_p = other.m_p;
    other.m_p = p;
  }
  // Adopts a reference that the caller already owns.
  void Attach(T* p) {
    reset();
    m_p = p;
  }
  T* Detach() {
    T* p = m_p;
    m_p = nullptr;
    return p;
  }

  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  T& operator*() const { return *m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  bool operator!() const { return m_p == nullptr; }

  // The address serves as the out argument of creating calls: the held reference is
  // released first, and the callee stores a reference it has already added.
  T** operator&() {
    reset();
    return &m_p;
  }
  T** GetAddressOf() { return &(*this); }

  // Asks the held object for interface Q; leaves `out` empty on failure.
  template <class Q>
  HRESULT QueryInterface(com_ptr<Q>& out) const {
    out.reset();
    if (!m_p) return E_POINTER;
    Q* q = nullptr;
    HRESULT hr = m_p->QueryInterface(qxcom::iid_of<Q>(), reinterpret_cast<void**>(&q));
    if (SUCCEEDED(hr) && q) out.Attach(q);
    return q ? hr : (FAILED(hr) ? hr : E_NOINTERFACE);
  }

 private:
  T* m_p = nullptr;
};

template <class T>
bool operator==(const com_ptr<T>& a, std::nullptr_t) { return !a; }
template <class T>
bool operator!=(const com_ptr<T>& a, std::nullptr_t) { return static_cast<bool>(a); }

}  // namespace UTIL
}  // namespace qxdk
