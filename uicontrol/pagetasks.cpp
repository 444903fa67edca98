#include "uicontrol/pagetasks.h"

#include <cwchar>

#include "uicontrol/pageorder.h"
#include "uicontrol/tunables.h"

using qxdk::UTIL::com_ptr;

namespace {

uint32_t Pack(int32_t high, int32_t low) {
  return ((static_cast<uint32_t>(high) & 0xFFFFu) << 16) | (static_cast<uint32_t>(low) & 0xFFFFu);
}

}  // namespace

bool CTaskPageOrder::Execute() {
  KeyValueMap order{{L"CMD", m_order}};
  AddParameters(order);
  SendPageOrder(*m_spTabInfo, order);
  return true;
}

bool CTaskNavigate::Execute() {
  KeyValueMap order{{L"CMD", L"NAVIGATE"}, {L"URL", m_spTabInfo->strURL.Get()}};
  m_spTabInfo->ClearChche();
  SendPageOrder(*m_spTabInfo, order);
  return true;
}

bool CTaskSetTextSize::Execute() {
  com_ptr<IWebPageData> spData;
  m_spTabInfo->spWebPage.Get().QueryInterface(spData);
  if (spData) {
    const std::wstring size = std::to_wstring(static_cast<int>(m_uSize));
    spData->SetData(L"font.size", size.c_str());
  }
  m_spTabInfo->uFontSize = m_uSize;
  return true;
}

void CTaskMoveWnd::AddParameters(KeyValueMap& order) {
  order[L"WPARAM"] = keyvalue::Hex(Pack(m_rcWnd.left, m_rcWnd.top));
  order[L"LPARAM"] = keyvalue::Hex(Pack(m_rcWnd.right, m_rcWnd.bottom));
}

bool CTaskSendParentHwnd::Execute() {
  KeyValueMap order{{L"CMD", L"PARENTHWND"},
                    {L"HWND", keyvalue::Hex(static_cast<uint32_t>(HandleValue(m_hParentWnd)))}};
  // Link and restored tabs get their page on the UI worker while this runs on the IO worker.
  if (m_spTabInfo->WaitForWebPage(tunables::kWaitForPageMilliseconds)) SendPageOrder(*m_spTabInfo, order);
  return true;
}
