#pragma once
// Tasks of the tab lifecycle: pages for link and restored tabs, recover and close orders.
#include <memory>
#include <string>

#include "uicontrol/tabinfo.h"
#include "uicontrol/tabtask.h"

class CTaskAddLinkTab : public ITabTask {
 public:
  CTaskAddLinkTab(std::shared_ptr<CTabInfo> spTabInfo, std::shared_ptr<CTabInfo> spParentTabInfo)
      : m_spTabInfo(std::move(spTabInfo)), m_spParentTabInfo(std::move(spParentTabInfo)) {}
  bool Execute() override;

 private:
  std::shared_ptr<CTabInfo> m_spTabInfo;
  std::shared_ptr<CTabInfo> m_spParentTabInfo;
};

class CTaskRestoreNewTab : public ITabTask {
 public:
  CTaskRestoreNewTab(std::wstring strUUID, std::shared_ptr<CTabInfo> spTabInfo)
      : m_strUUID(std::move(strUUID)), m_spTabInfo(std::move(spTabInfo)) {}
  bool Execute() override;

 private:
  std::wstring m_strUUID;
  std::shared_ptr<CTabInfo> m_spTabInfo;
};

class CTaskRestoreOldTab : public ITabTask {
 public:
  CTaskRestoreOldTab(std::wstring strUUID, std::shared_ptr<CTabInfo> spTabInfo)
      : m_strUUID(std::move(strUUID)), m_spTabInfo(std::move(spTabInfo)) {}
  bool Execute() override;

 private:
  std::wstring m_strUUID;
  std::shared_ptr<CTabInfo> m_spTabInfo;
};

class CTaskCloseTab : public ITabTask {
 public:
  explicit CTaskCloseTab(std::shared_ptr<CTabInfo> spTabInfo) : m_spTabInfo(std::move(spTabInfo)) {}
  bool Execute() override;

 private:
  std::shared_ptr<CTabInfo> m_spTabInfo;
};
