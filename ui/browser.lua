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
browser.visited = {}       -- addresses loaded in this run, for completion: url -> true

-- Text from a page or the store as the terminal may show it: no escape sequences or other
-- control characters (a title could otherwise move the cursor or clear the screen); the
-- library's TAB "reg" TAB form of the registered sign is shown as the sign.
function browser.clean(text)
  text = tostring(text or ""):gsub("\treg\t", "\194\174")
  text = text:gsub("\27%[[%d;?]*[%a@`~]", ""):gsub("[%z\1-\31\127]", " "):gsub("\194[\128-\159]", "")
  return text
end

function browser.say(text)
  for line in (tostring(text) .. "\n"):gmatch("(.-)\n") do
    browser.messages[#browser.messages + 1] = browser.clean(line)
  end
  while #browser.messages > 200 do table.remove(browser.messages, 1) end
end

-- The key=value lines of an event's value as a table.
function browser.values(text)
  local values = {}
  for name, value in tostring(text or ""):gmatch("([^\n=]+)=([^\n]*)") do values[name] = value end
  return values
end

-- The lines of a PAGETEXT list value: each ends with backslash n, a backslash is doubled.
function browser.lines(value)
  local lines, line = {}, {}
  local i, n = 1, #value
  while i <= n do
    local c = value:sub(i, i)
    if c == "\\" then
      local e = value:sub(i + 1, i + 1)
      if e == "n" then
        lines[#lines + 1] = table.concat(line)
        line = {}
      else
        line[#line + 1] = e
      end
      i = i + 2
    else
      local stop = value:find("\\", i, true) or n + 1
      line[#line + 1] = value:sub(i, stop - 1)
      i = stop
    end
  end
  if #line > 0 then lines[#lines + 1] = table.concat(line) end
  return lines
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
  tab.title = browser.clean(text(info.strTitle))
  tab.url = browser.clean(text(info.strURL))
  tab.progress = info.uProcent
  tab.back = info.bBackwardEnable
  tab.forward = info.bForwardEnable
end

local bare_schemes = {about = true, data = true, javascript = true, ["view-source"] = true, mailto = true,
                      file = true, chrome = true, blob = true}

-- Whether `input` (without a scheme) names a host: localhost, an IPv4 or bracketed IPv6
-- address, a dotted name ending in letters, or any name with a port; a path may follow.
local function is_host_address(input)
  local hostport = input:match("^([^/?#]+)")
  if not hostport then return false end
  local host, port = hostport:match("^(%[[%x:.]+%])(.*)$")
  if not host then host, port = hostport:match("^([^:]+)(.*)$") end
  if not host or (port ~= "" and not port:match("^:%d+$")) then return false end
  if host:match("^%[") or host:lower() == "localhost" or host:match("^%d+%.%d+%.%d+%.%d+$") then return true end
  if not host:match("^[%w.-]+$") then return false end
  return port ~= "" or host:match("^[%w-]+%.[%w.-]*%a$") ~= nil
end

-- A user's address: a URL as it is, a host (with port and path) gets http://, a page name
-- such as news.html names a served page, anything else is searched.
function browser.address(input)
  input = input:gsub("^%s+", ""):gsub("%s+$", "")
  if input:match("^%a[%w+.-]*://") then return input end
  local scheme = input:match("^(%a[%w+.-]*):")
  if scheme and bare_schemes[scheme:lower()] then return input end
  if host.base_url ~= "" and input:match("^[%w_%-]+%.html?$") then return host.base_url .. input end
  if not input:find("%s") and is_host_address(input) then return "http://" .. input end
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
  if not tab then return browser.say("no tab " .. tostring(n) .. " (tabs 1 to " .. #browser.tabs .. ")") end
  browser.current = tab.id
  tm.SelectTab(tab.id)
  changed("tabs")
end

function browser.close(n)
  local tab, index
  if n then tab, index = browser.tabs[n], n else tab, index = browser.find(browser.current) end
  if not tab then return browser.say(n and ("no tab " .. n) or "no tab to close") end
  tm.CloseTab(tab.id)
  table.remove(browser.tabs, index)
  if browser.current == tab.id then
    local next = browser.tabs[index] or browser.tabs[index - 1]
    browser.current = next and next.id or nil
  end
  changed("tabs")
end

-- Reopens a kept tab by its uuid (the entry leaves the recover list once it is open).
function browser.reopen(uuid, name)
  local id = tm.RestoreTab(uuid)
  if id == 0 then return browser.say("could not restore " .. browser.clean(name)) end
  browser.tabs[#browser.tabs + 1] = {id = id, title = browser.clean(name), url = "", progress = 0}
  browser.current = id
  changed("tabs")
  return id
end

function browser.restore(n)
  local entry = browser.closed[n]
  if not entry then return browser.say("no closed tab " .. tostring(n)) end
  -- Gone from the list at once: restoring the same number twice never opens it twice.
  table.remove(browser.closed, n)
  local id = browser.reopen(entry.uuid, entry.name)
  tm.GetRecoverLists()
  return id
end

-- Runs a page command on the current tab.
function browser.command(name, ...)
  if not browser.current then return browser.say("no tab open") end
  local ok = tm[name](browser.current, ...)
  local tab = browser.find(browser.current)
  if tab and (name == "Refresh" or name == "Navigate") then tab.crashed = nil end
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
  for _, f in ipairs(browser.favorites) do
    if f.url == tab.url then return browser.say("already bookmarked: " .. tab.url) end
  end
  if tm.AddFavoriteItem(-1, tab.url, tab.title, "") then
    browser.favorites[#browser.favorites + 1] = {title = tab.title, url = tab.url}
    tm.GetAllFavoriteItems()
    browser.say("bookmarked " .. tab.url)
  else
    browser.say("this page cannot be bookmarked")
  end
end

-- Why a page could not be loaded, in a few words: "name not resolved", "404 Not Found".
function browser.load_error(values)
  local err = values.ERROR or ""
  local net = err:match("^net::ERR_([%w_]+)")
  if net then return (net:lower():gsub("_", " ")) end
  local http = err:match("^HTTP (.+)$")
  if http then return http end
  return err ~= "" and err or "unknown error"
end

-- Asks the page of tab `id` for its text (PAGETEXT); `fn(tab)` runs once it is there.
function browser.want_text(id, fn, part)
  local tab = browser.find(id or 0)
  if not tab then return browser.say("no tab open") end
  local key = part == "SOURCE" and "source" or "text"
  if tab[key] then return fn(tab) end
  tab.waiting = tab.waiting or {}
  local first = #tab.waiting == 0
  tab.waiting[#tab.waiting + 1] = {key = key, fn = fn}
  if first and not host.order(id, "CMD=GETTEXT\n" .. (part and ("PART=" .. part .. "\n") or "")) then
    tab.waiting = nil
    browser.say("this page cannot be read")
  end
end

-- The lines of a PAGETEXT list, each made safe to print.
local function clean_lines(value)
  local lines = browser.lines(value or "")
  for i, line in ipairs(lines) do lines[i] = browser.clean(line) end
  return lines
end

local function on_page_text(tab, values)
  if values.ERROR then
    browser.say("could not read the page: " .. values.ERROR)
  elseif values.SOURCE then
    tab.source = clean_lines(values.SOURCE)
  else
    tab.text = {lines = clean_lines(values.TEXT), links = clean_lines(values.LINKS),
                title = browser.clean(values.TITLE), cut = values.CUT == "TRUE"}
  end
  local waiting = tab.waiting or {}
  tab.waiting = nil
  for _, w in ipairs(waiting) do
    if tab[w.key] then w.fn(tab) else browser.want_text(tab.id, w.fn, w.key == "source" and "SOURCE" or nil) end
  end
end

function browser.on_tab(id, key, value)
  if id == 0 then
    if key == "page.size" then browser.say("zoom is now " .. value .. "%") end
    return changed("setting", key, value)
  end
  refresh(id)
  local tab, index = browser.find(id)
  local values = browser.values(value)
  if tab and (key == "BEFORENAVIGATE" or key == "NAVIGATECOMPLETE") then
    tab.text, tab.source, tab.crashed = nil, nil, nil
  end
  if key == "NAVIGATECOMPLETE" and values.URL then browser.visited[values.URL] = true end
  if key == "NAVIGATEERROR" then
    local where = index and ("tab " .. index .. ": ") or ""
    browser.say(where .. "could not load " .. browser.clean(values.URL or "the page") .. ": " .. browser.clean(browser.load_error(values)))
  elseif key == "PROCESSCRASH" then
    if tab then tab.crashed = true end
    browser.say((index and ("tab " .. index .. ": ") or "") .. "the page crashed; reload brings it back")
  elseif key == "SAVECOMPLETE" then
    if values.FILE then browser.say("saved " .. browser.clean(values.FILE))
    else browser.say("could not save: " .. browser.clean(values.ERROR or "unknown error")) end
  elseif key == "ORDERUNSUPPORTED" then
    browser.say(browser.clean((values.CMD or "the order") .. ": " .. (values.REASON or "not available")))
  elseif key == "PAGETEXT" and tab then
    on_page_text(tab, values)
  elseif key == "CLOSEWNDNOTIFTY" then
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
