#include "uicontrol/statcache.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

const wchar_t kBlockPrefix[] = L"QXESTATCACHE_";

std::wstring BlockName(DWORD dwProcessId) { return kBlockPrefix + std::to_wstring(dwProcessId); }

bool EntryOffset(unsigned long type, size_t* offset) {
  if (type < 1 || type > 3) return false;
  *offset = (type - 1) * sizeof(uint32_t);
  return true;
}

// Each entry is one aligned 32-bit word, read and written whole so that another
// process sees either the old or the new value.
std::atomic<uint32_t>* Entry(const void* view, size_t offset) {
  return reinterpret_cast<std::atomic<uint32_t>*>(static_cast<char*>(const_cast<void*>(view)) + offset);
}

}  // namespace

CStatCacheWriter::CStatCacheWriter(DWORD dwProcessId) {
  // A process removes its block when it exits normally; one killed by a signal leaves it
  // behind, so each start clears away the blocks of processes that are gone.
  RemoveMappingsOfEndedProcesses(kBlockPrefix);
  m_hMapping = CreateFileMappingW(BlockName(dwProcessId), kStatCacheSize);
  m_pView = MapViewOfFile(m_hMapping, true);
}

CStatCacheWriter::~CStatCacheWriter() {
  UnmapViewOfFile(m_hMapping, m_pView);
  CloseMappingHandle(m_hMapping);
}

int CStatCacheWriter::Set(unsigned long type, const unsigned long* value) {
  size_t offset;
  if (!m_pView || !EntryOffset(type, &offset)) return 0;
  Entry(m_pView, offset)->store(value ? static_cast<uint32_t>(*value) : 0u, std::memory_order_relaxed);
  return 1;
}

CStatCacheReader::CStatCacheReader(DWORD dwProcessId) {
  m_hMapping = OpenFileMappingW(false, BlockName(dwProcessId));
  m_pView = MapViewOfFile(m_hMapping, false);
}

CStatCacheReader::~CStatCacheReader() {
  UnmapViewOfFile(m_hMapping, const_cast<void*>(m_pView));
  CloseMappingHandle(m_hMapping);
}

int CStatCacheReader::Get(unsigned long type, void* out) {
  const void* view;
  {
    platform::CMutexLock guard(m_mutex);
    if (!m_hMapping) {
      m_hMapping = OpenFileMappingW(false, L"QXESTATCACHE");
      m_pView = MapViewOfFile(m_hMapping, false);
    }
    view = m_pView;  // stays mapped until the reader goes
  }
  size_t offset;
  if (!view || !EntryOffset(type, &offset)) return 0;
  uint32_t value = Entry(view, offset)->load(std::memory_order_relaxed);
  std::memcpy(out, &value, sizeof value);
  return 1;
}
