-- The TabManager class: the singleton, argument matching, and every method once.
local tm = App.TabManagerInstance()

local function open(url)
  local id = tm.AddTab(url or "http://example.test/", 0)
  ok(id > 0, "AddTab gave no ID")
  return id, test.pages()
end

case("App.TabManagerInstance gives the one singleton and takes no argument", function()
  local a, b = App.TabManagerInstance(), App.TabManagerInstance()
  local before = a.GetTabsCount()
  local id = a.AddTab("http://one.test/", 0)
  eq(b.GetTabsCount(), before + 1, "both refer to one tab manager")
  eq(__get_typeex(a), "TabManager", "a reference that Lua does not own")
  raises(function() App.TabManagerInstance(1) end,
    "Can't match function to call App.TabManagerInstance, candidates are:\n" ..
    "App.TabManagerInstance()\nParameters are:\n* number\nCaused by: no one can be used.\n")
  ok(a.CloseTab(id))
end)

case("TabManager cannot be called and has no unknown members", function()
  raises(function() TabManager() end, "attempt to call")
  raises(function() return tm.NoSuchMethod end, "MetaOperatorIndex: error - unknown symbol NoSuchMethod.\n")
end)

case("a colon call passes the object again and matches nothing", function()
  raises(function() tm:AddTab("http://x.test/", 0) end,
    "Can't match method to call 'TabManager.AddTab', candidates are:\n" ..
    "AddTab(const std.wstring&, unsigned)\nParameters are:\n" ..
    "* custom class: TabManager\n* string\n* number\n" ..
    "Caused by: no one can be used.\n")
end)

case("CloseTab by number, by list and by boolean", function()
  local a = open("http://a.test/")
  local b = open("http://b.test/")
  local c = open("http://c.test/")
  local count = tm.GetTabsCount()
  eq(tm.CloseTab(a), true)
  eq(tm.GetTabsCount(), count - 1)
  local list = std.uintarr()
  list.push_back(b)
  list.push_back(c)
  eq(tm.CloseTab(list), nil, "the list form returns nothing")
  eq(tm.GetTabsCount(), count - 3)
  -- true converts to the ID 1 of the unsigned form (which names no open tab here).
  eq(tm.CloseTab(true), false)
  tm.CloseTab(std.uintarr(2)) -- two zeros: both skipped
end)

case("RestoreTab: a number for a new tab, a boolean for an existing one", function()
  local id = tm.RestoreTab("uuid-1")
  eq(type(id), "number")
  ok(id > 0)
  eq(tm.RestoreTab(id, "uuid-2"), true)
  eq(tm.RestoreTab(424242, "uuid-2"), false)
  eq(tm.RestoreTab(""), 0)
  test.drain()
  local page = test.pages()
  local orders = test.orders(page)
  eq(orders[1], "CMD=RECOVERWND\nuuid=uuid-1\n")
  eq(orders[2], "CMD=RECOVERWND\nuuid=uuid-2\n")
  tm.CloseTab(id)
end)

case("FindTabInfo returns an independent copy", function()
  local id = open("http://snap.test/")
  local info = tm.FindTabInfo(id)
  eq(__get_typeex(info), "TabInfo owned")
  eq(info.uID, id)
  eq(info.strURL:str(), "http://snap.test/")
  info.strTitle = "changed here"
  eq(info.strTitle:str(), "changed here")
  eq(tm.FindTabInfo(id).strTitle:str(), "http://snap.test/", "the tab is unchanged")
  raises(function() info.eTabStatusInfo = 1 end,
    "MemberClass::PerformNewIndexOperator: left value has no assign operator.\n")
  raises(function() info.eTabSafeInfo = 0 end,
    "MemberClass::PerformNewIndexOperator: left value has no assign operator.\n")
  raises(function() info.uID = {} end, "MemberClass::PerformNewIndexOperator: can't convert a variable to assign.\n")
  eq(tm.FindTabInfo(999999).uID, 0)
  eq(tm.FindTabInfo(999999).uFontSize, 2)
  eq(tm.FindTabInfo(999999).eTabSafeInfo, 1)
  local fresh = TabInfo()
  eq(fresh.uID, 0)
  eq(fresh.hWndWeb, nil)
  tm.CloseTab(id)
end)

case("page commands send their orders", function()
  local id, page = open("http://cmd.test/")
  local expected = {
    {"Navigate", {id, "http://next.test/"}, "CMD=NAVIGATE\nURL=http://next.test/\n"},
    {"GoForward", {id}, "CMD=GOFORWORD\n"}, {"GoBack", {id}, "CMD=GOBACK\n"},
    {"Stop", {id}, "CMD=STOP\n"}, {"Refresh", {id}, "CMD=REFRESH\n"},
    {"OpenFile", {id}, "CMD=FILEOPEN\n"}, {"SaveWeb", {id}, "CMD=SAVEHTML\n"},
    {"SaveWebToImage", {id}, "CMD=SAVEIMGE\n"}, {"PageSet", {id}, "CMD=PAGESETUP\n"},
    {"Print", {id}, "CMD=PRINT\n"}, {"PrintView", {id}, "CMD=PRINTPREVIEW\n"},
    {"SendLinkUseEmail", {id}, "CMD=SENDLINKBYEMAIL\n"},
    {"SendWebUseEmail", {id}, "CMD=FILESENDPAGEBYEMAIL\n"},
    {"PageAttribute", {id}, "CMD=PROPERTIES\n"}, {"ViewSource", {id}, "CMD=VIEWSOURCE\n"},
    {"InternetOption", {id}, "CMD=internetOpation\n"},
    {"EnableAudio", {id, true}, "CMD=WEBAUDIO\nSTATE=1\n"},
  }
  for _, e in ipairs(expected) do
    eq(tm[e[1]](unpack(e[2])), true, e[1])
    test.drain()
    local orders = test.orders(page)
    eq(orders[#orders], e[3], e[1])
  end
  eq(tm.IsAudioEnable(), true)
  eq(tm.GoBack(0), false)
  eq(tm.Home(id), false, "no home page set")
  test.store_setting("defaulturl", "http://home.test/")
  eq(tm.Home(id), true)
  test.drain()
  local orders = test.orders(page)
  eq(orders[#orders], "CMD=GOHOME\n")
  tm.ShowWebFind(id)
  tm.ShowWebMenu(id)
  test.drain()
  orders = test.orders(page)
  eq(orders[#orders - 1], "CMD=FIND\n")
  eq(orders[#orders], "CMD=SHOWCONTEXTMENU\n")
  eq(tm.SetTextSize(id, 3), true)
  test.drain()
  eq(tm.FindTabInfo(id).uFontSize, 3)
  test.page_value(page, "font.size", "4")
  eq(tm.GetTextSize(id), 4)
  eq(tm.SetWebZoom(0, 125), true)
  eq(tm.GetWebZoom(id), 125)
  eq(tm.SelectTab(id), true)
  tm.UpdateTickCount(id)
  ok(tm.FindTabInfo(id).uTickCount >= 0)
  tm.CloseTab(id)
end)

case("settings and the default browser", function()
  eq(tm.GetValue("missing"):str(), "")
  tm.SetValue("some.setting", "\228\184\173")
  eq(tm.GetValue("some.setting"):str(), "\228\184\173")
  test.store_setting("defaulturl", "http://start.test/")
  eq(tm.GetDefaultIndex():str(), "http://start.test/")
  eq(tm.IsShowDefaultIndex(), false)
  test.store_setting("set_show_homepage", "1")
  eq(tm.IsShowDefaultIndex(), true)
  eq(tm.IsShowSetDefaultBrowserDlg(), true)
  tm.SetShowSetDefaultBrowserDlg(false)
  test.drain()
  eq(tm.IsShowSetDefaultBrowserDlg(), false)
  tm.SetShowCloseTabs(false)
  eq(tm.IsShowCloseTabs(), false)
  tm.SetShowCloseTabs(1) -- a number for a boolean
  eq(tm.IsShowCloseTabs(), true)
  eq(tm.IsDefaultBrowser(), false)
  tm.SetDefaultBrowser(true) -- the setter program is not installed here: nothing happens
  eq(tm.UpdateBrowser(), true)
  test.store_answer("get_icon", "url=http://i.test/\n", "/icons/i.ico")
  eq(tm.QueryIconPathFromURL("http://i.test/"):str(), "/icons/i.ico")
end)

case("data services post their tasks", function()
  test.store_answer("query_favor_root_url", "<favs/>")
  test.store_answer("get_fav_xml", "<tree/>")
  test.store_answer("query_search_all_ui", "engines")
  eq(tm.GetAllFavoriteItems(), true)
  eq(tm.GetFavoriteByFloder(), true)
  eq(tm.AddFavoriteItem(-1, "http://fav.test/", "", ""), true)
  eq(tm.AddFavoriteItem(0, "RE:FAV", "t", ""), false)
  eq(tm.DeleteFavoriteItem("12"), true)
  eq(tm.GetAllSearchLists(), true)
  eq(tm.SetDefaultSearch("3"), true)
  eq(tm.GetRecoverLists(), true)
  eq(tm.ClearRecoverLists(), true)
  eq(tm.ImportIEFavorites(), true)
  eq(tm.GetNavigateHistory(0), false)
  test.drain()
  local favor = test.store_calls("add_favor")
  ok(string.find(favor[#favor], "pid=-1\ntitle=http://fav.test/\ntype=1\nurl=http://fav.test/\n", 1, true))
  eq(test.store_calls("del_favor")[1], "id=12\n")
  eq(test.store_calls("set_search_default")[1], "id=3")
  eq(test.store_calls("clear.recover.all")[1], "uuid=\n")
  local seen = {}
  function OnDataNotify(key, data) seen[key] = data end
  function OnTabNotify() end
  ok(pump_until(function() return seen.GetAllFavoriteItems and seen.GetFavoriteByFloder and seen.GetAllSearchLists end))
  eq(seen.GetAllFavoriteItems, "<favs/>")
  eq(seen.GetFavoriteByFloder, "<tree/>")
  eq(seen.GetAllSearchLists, "engines")
end)

case("AddLinkTab adopts the parent's new window; CloseAllTab closes everything", function()
  local parent = open("http://parent.test/")
  local pages = test.pages()
  local child = tm.AddLinkTab("ignored", parent)
  ok(child > parent)
  eq(tm.AddLinkTab("x", 0), 0)
  test.drain()
  eq(test.pages(), pages + 1, "the link tab got its page on the worker")
  eq(#test.orders(pages + 1), 0, "no navigation follows")
  eq(tm.FindTabInfo(child).uParentID, parent)
  ok(tm.GetTabsCount() >= 2)
  eq(tm.CloseAllTab(), nil)
  eq(tm.GetTabsCount(), 0)
end)

case("Quit and Start from Lua", function()
  tm.Quit()
  eq(tm.Start(), true)
  eq(tm.Start(), true)
end)
