// The Lua API of the tab manager: TabManager, App.TabManagerInstance, std.uintarr, TabInfo.
#include <vector>

#include "logging/logging.h"
#include "uibind/container.h"
#include "uibind/declarations.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

using TM = CTabManager;

}  // namespace

bool CTabManager::InstallToLua(lua_State* luaState) {
  CHECK_REPORT(luaState);
  if (!luaState) return false;
  uibind::CHost* spHost = uibind::CHost::FromLua(luaState);
  CHECK_REPORT(spHost);
  if (!spHost) return false;

  uibind::NamespaceDeclaration stdNs("std");
  stdNs.Add(uibind::DeclareVectorClass<std::vector<unsigned int>>("uintarr"));

  uibind::NamespaceDeclaration app("App");
  app.Add(uibind::Function("TabManagerInstance", &TM::Instance));

  uibind::Class<TM> tm("TabManager");
  tm.Method("AddTab", &TM::AddTab)
      .Method("AddLinkTab", &TM::AddLinkTab)
      .Method("RestoreTab", static_cast<unsigned int (TM::*)(const std::wstring&)>(&TM::RestoreTab))
      .Method("RestoreTab", static_cast<bool (TM::*)(unsigned int, const std::wstring&)>(&TM::RestoreTab))
      .Method("CloseTab", static_cast<bool (TM::*)(unsigned int)>(&TM::CloseTab))
      .Method("CloseTab", static_cast<void (TM::*)(const std::vector<unsigned int>&)>(&TM::CloseTab))
      .Method("CloseAllTab", &TM::CloseAllTab)
      .Method("Navigate", &TM::Navigate)
      .Method("GoForward", &TM::GoForward)
      .Method("GoBack", &TM::GoBack)
      .Method("Stop", &TM::Stop)
      .Method("Refresh", &TM::Refresh)
      .Method("Home", &TM::Home)
      .Method("OpenFile", &TM::OpenFile)
      .Method("SaveWeb", &TM::SaveWeb)
      .Method("SaveWebToImage", &TM::SaveWebToImage)
      .Method("PageSet", &TM::PageSet)
      .Method("Print", &TM::Print)
      .Method("PrintView", &TM::PrintView)
      .Method("SendLinkUseEmail", &TM::SendLinkUseEmail)
      .Method("SendWebUseEmail", &TM::SendWebUseEmail)
      .Method("PageAttribute", &TM::PageAttribute)
      .Method("GetTextSize", &TM::GetTextSize)
      .Method("SetTextSize", &TM::SetTextSize)
      .Method("GetWebZoom", &TM::GetWebZoom)
      .Method("SetWebZoom", &TM::SetWebZoom)
      .Method("ViewSource", &TM::ViewSource)
      .Method("InternetOption", &TM::InternetOption)
      .Method("FindTabInfo", &TM::FindTabInfoForLua)
      .Method("Quit", &TM::Quit)
      .Method("Start", &TM::Start)
      .Method("GetAllFavoriteItems", &TM::GetAllFavoriteItems)
      .Method("AddFavoriteItem", &TM::AddFavoriteItem)
      .Method("DeleteFavoriteItem", &TM::DeleteFavoriteItem)
      .Method("GetAllSearchLists", &TM::GetAllSearchLlists)
      .Method("SetDefaultSearch", &TM::SetDefaultSearch)
      .Method("GetNavigateHistory", &TM::GetNavigateHistory)
      .Method("GetRecoverLists", &TM::GetRecoverLists)
      .Method("ClearRecoverLists", &TM::ClearRecoverLists)
      .Method("ImportIEFavorites", &TM::ImportIEFavorites)
      .Method("GetFavoriteByFloder", &TM::GetFavoriteByFloder)
      .Method("UpdateBrowser", &TM::UpdateBrowser)
      .Method("UpdateTickCount", &TM::UpdateTickCount)
      .Method("ShowWebFind", &TM::ShowWebFind)
      .Method("ShowWebMenu", &TM::ShowWebMenu)
      .Method("IsShowDefaultIndex", &TM::IsShowDefaultIndex)
      .Method("GetDefaultIndex", &TM::GetDefaultIndex)
      .Method("IsDefaultBrowser", &TM::IsDefaultBrowser)
      .Method("IsShowSetDefaultBrowserDlg", &TM::IsShowSetDefaultBrowserDlg)
      .Method("SetShowSetDefaultBrowserDlg", &TM::SetShowSetDefaultBrowserDlg)
      .Method("SetDefaultBrowser", &TM::SetDefaultBrowser)
      .Method("SelectTab", &TM::SelectTab)
      .Method("IsShowCloseTabs", &TM::IsShowCloseTabs)
      .Method("SetShowCloseTabs", &TM::SetShowCloseTabs)
      .Method("GetTabsCount", &TM::GetTabsCount)
      .Method("GetValue", &TM::GetValue)
      .Method("SetValue", &TM::SetValue)
      .Method("QueryIconPathFromURL", &TM::QueryIconPathFromURL)
      .Method("EnableAudio", &TM::EnableAudio)
      .Method("IsAudioEnable", &TM::IsAudioEnable);

  return spHost->Insert(std::move(stdNs)) && spHost->Insert(std::move(app)) && spHost->Insert(std::move(tm));
}

bool CLuaTabInfo::InstallToLua(lua_State* luaState) {
  CHECK_REPORT(luaState);
  if (!luaState) return false;
  uibind::CHost* spHost = uibind::CHost::FromLua(luaState);
  CHECK_REPORT(spHost);
  if (!spHost) return false;

  uibind::Class<CLuaTabInfo> info("TabInfo");
  info.Constructor<>()
      .Member("uID", &CLuaTabInfo::uID)
      .Member("uParentID", &CLuaTabInfo::uParentID)
      .Member("hWndWeb", &CLuaTabInfo::hWndWeb)
      .Member("uProcent", &CLuaTabInfo::uProcent)
      .Member("bForwardEnable", &CLuaTabInfo::bForwardEnable)
      .Member("bBackwardEnable", &CLuaTabInfo::bBackwardEnable)
      .Member("strTitle", &CLuaTabInfo::strTitle)
      .Member("strURL", &CLuaTabInfo::strURL)
      .Member("strIconPath", &CLuaTabInfo::strIconPath)
      .Member("eTabStatusInfo", &CLuaTabInfo::eTabStatusInfo)
      .Member("eTabSafeInfo", &CLuaTabInfo::eTabSafeInfo)
      .Member("uFontSize", &CLuaTabInfo::uFontSize)
      .Member("uTickCount", &CLuaTabInfo::uTickCount)
      .Member("strStatText", &CLuaTabInfo::strStatText);
  return spHost->Insert(std::move(info));
}
