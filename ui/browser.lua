-- The browser model shared by the terminal interface and scripted interfaces: the open
-- tabs as the library reports them, the lists the data services send, and the commands.
local xml = require("xml")

local browser = {}
local tm = App.TabManagerInstance()
browser.tm = tm

browser.tabs = {}          -- in opening order: {id, title, url, progress, closing}
browser.current = nil      -- the id of the current tab
browser.engines = {}       -- {id, name, url, default}
browser.closed = {}        -- recover list: {name, uuid, icon}
browser.favorites = {}     -- {id, title, url}
browser.history = {}       -- of the current tab: {name, url, current}
browser.messages = {}      -- lines for the user
browser.listeners = {}     -- functions called on every change: fn(kind, ...)

function browser.say(text)
  browser.messages[#browser.messages + 1] = text
  while #browser.messages > 16 do table.remove(browser.messages, 1) end
end

local function changed(kind, ...)
  for _, fn in ipairs(browser.listeners) do fn(kind, ...) end
end

local function text(w) return w and w:str() or "" end

function browser.find(id)
  for index, tab in ipairs(browser.tabs) do if tab.id == id then return tab, index end end
end

-- Brings a tab's entry up to date from the library's snapshot.
local function refresh(id)
  local tab = browser.find(id)
  if not tab then return end
  local info = tm.FindTabInfo(id)
  if info.uID == 0 then return end
  -- The library shows the registered sign as TAB "reg" TAB; the terminal shows the sign.
  tab.title = text(info.strTitle):gsub("\treg\t", "\194\174")
  tab.url = text(info.strURL)
  tab.progress = info.uProcent
  tab.back = info.bBackwardEnable
  tab.forward = info.bForwardEnable
end

-- A user's address: a URL as it is, a host name gets http://, words go to the search engine.
function browser.address(input)
  input = input:gsub("^%s+", ""):gsub("%s+$", "")
  if input:match("^%a[%w+.-]*:") then return input end
  -- A page name such as news.html opens the page of that name among the served pages.
  if host.base_url ~= "" and input:match("^[%w_%-]+%.html?$") then return host.base_url .. input end
  if input:match("^[%w.-]+%.[%a][%w.-]*[/:]?") and not input:find("%s") then return "http://" .. input end
  return browser.search_url(input)
end

function browser.default_engine()
  for _, e in ipairs(browser.engines) do if e.default == "true" then return e end end
  return browser.engines[1]
end

function browser.search_url(words)
  local engine = browser.default_engine()
  local query = words:gsub("[^%w%-_.~]", function(c) return string.format("%%%02X", c:byte()) end)
  if not engine then return (host.base_url ~= "" and host.base_url or "http://127.0.0.1/") .. "search.html?q=" .. query end
  return (engine.url:gsub("{searchTerms}", (query:gsub("%%", "%%%%"))))
end

function browser.open(url)
  local id = tm.AddTab(url, browser.current or 0)
  if id == 0 then
    browser.say("could not open " .. url)
    return nil
  end
  browser.tabs[#browser.tabs + 1] = {id = id, title = url, url = url, progress = 0}
  browser.current = id
  changed("tabs")
  return id
end

function browser.select(n)
  local tab = browser.tabs[n]
  if not tab then return browser.say("no tab " .. tostring(n)) end
  browser.current = tab.id
  tm.SelectTab(tab.id)
  changed("tabs")
end

function browser.close(n)
  local tab, index
  if n then tab, index = browser.tabs[n], n else tab, index = browser.find(browser.current) end
  if not tab then return browser.say("no tab to close") end
  tm.CloseTab(tab.id)
  table.remove(browser.tabs, index)
  if browser.current == tab.id then
    local next = browser.tabs[index] or browser.tabs[index - 1]
    browser.current = next and next.id or nil
  end
  changed("tabs")
end

function browser.restore(n)
  local entry = browser.closed[n]
  if not entry then return browser.say("no closed tab " .. tostring(n)) end
  local id = tm.RestoreTab(entry.uuid)
  if id == 0 then return browser.say("could not restore " .. entry.name) end
  browser.tabs[#browser.tabs + 1] = {id = id, title = entry.name, url = "", progress = 0}
  browser.current = id
  changed("tabs")
  return id
end

-- Runs a page command on the current tab.
function browser.command(name, ...)
  if not browser.current then return browser.say("no tab open") end
  local ok = tm[name](browser.current, ...)
  if ok == false then browser.say(name .. " was refused") end
  return ok
end

function browser.navigate(input)
  if not browser.current then return browser.open(browser.address(input)) end
  return browser.command("Navigate", browser.address(input))
end

function browser.bookmark()
  local tab = browser.find(browser.current or 0)
  if not tab then return browser.say("no tab open") end
  if tm.AddFavoriteItem(-1, tab.url, tab.title, "") then
    browser.say("bookmarked " .. tab.url)
  else
    browser.say("this page cannot be bookmarked")
  end
end

function browser.on_tab(id, key, value)
  if id == 0 then
    if key == "page.size" then browser.say("zoom is now " .. value .. "%") end
    return changed("setting", key, value)
  end
  refresh(id)
  if key == "NAVIGATEERROR" then browser.say("tab " .. id .. ": the page could not be loaded")
  elseif key == "PROCESSCRASH" then browser.say("tab " .. id .. ": the page crashed")
  elseif key == "CLOSEWNDNOTIFTY" then
    local _, index = browser.find(id)
    if index then browser.close(index) end
  elseif key == "NEWINDOW" then
    local child = tm.AddLinkTab("", id)
    if child ~= 0 then
      browser.tabs[#browser.tabs + 1] = {id = child, title = "(new window)", url = "", progress = 0}
      browser.current = child
    end
  end
  changed("tab", id, key, value)
end

function browser.on_data(key, data)
  if key == "GetAllSearchLists" then
    browser.engines = xml.elements(data, "Engine")
  elseif key == "GetRecoverList" then
    browser.closed = xml.elements(data, "Element")
  elseif key == "GetAllFavoriteItems" then
    browser.favorites = xml.elements(data, "Item")
  elseif key == "GetNavigateHistory" then
    browser.history = xml.elements(data, "Element")
  elseif key == "ShowAddFavoriteDialog" then
    browser.bookmark()
  end
  changed("data", key, data)
end

return browser
