-- The browser model both faces share (the terminal interface ui/main.lua and the desktop
-- chrome ui/desktop/main.lua, and scripted interfaces): the open tabs as the library
-- reports them, the lists the data services send, the settings, the last run's tabs,
-- find, saves and the messages for the user, and every order sent to a page. A face
-- keeps only its view and follows the model through browser.listeners.
local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
if not package.path:find(here .. "?.lua", 1, true) then package.path = here .. "?.lua;" .. package.path end
local xml = require("xml")
local keyvalue = require("model.keyvalue")
local address = require("model.address")

local browser = {}
local tm = App.TabManagerInstance()
browser.tm = tm

browser.tabs = {}          -- in opening order: {id, title, url, progress, back, forward, crashed}
browser.current = nil      -- the id of the current tab
browser.engines = {}       -- {id, name, url, default}
browser.closed = {}        -- recover list: {name, uuid, icon, url}
browser.favorites = {}     -- {id, title, url}
browser.history = {}       -- of the current tab: {name, url, current}
browser.messages = {}      -- lines for the user, the newest last
browser.listeners = {}     -- functions called on every change: fn(kind, ...)
browser.visited = {}       -- addresses loaded in this run, for completion: url -> true
browser.saves = {}         -- files saved in this run, newest first (at most 10)

function browser.changed(kind, ...)
  for _, fn in ipairs(browser.listeners) do fn(kind, ...) end
end

-- Text from a page or the store as a screen may show it: no escape sequences or other
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
    browser.changed("message", browser.messages[#browser.messages])
  end
  while #browser.messages > 200 do table.remove(browser.messages, 1) end
end

-- The key=value lines of an event's value as a table, read as the library reads them.
function browser.values(text) return keyvalue.read(text) end

-- Sends an order to the page of tab `id`: `entries` (name -> value) written by the rules
-- of the library's writer. A value that would add a line refuses the order, unless
-- `sanitize` (for words the user typed) makes it one line. False when refused.
function browser.order(id, entries, sanitize)
  local text, why
  if sanitize then text = keyvalue.write_sanitized(entries) else text, why = keyvalue.write(entries) end
  if not text then
    browser.say("order not sent: " .. why)
    return false
  end
  return host.order(id, text)
end

function browser.find(id)
  for index, tab in ipairs(browser.tabs) do if tab.id == id then return tab, index end end
end

local function text(w) return w and w:str() or "" end

-- Brings a tab's entry up to date from the library's snapshot.
local function refresh(id)
  local tab = browser.find(id)
  if not tab then return end
  local info = tm.FindTabInfo(id)
  if info.uID == 0 then return end
  tab.title = browser.clean(text(info.strTitle))
  tab.url = browser.clean(text(info.strURL))
  -- A load that failed or a page that crashed is over, whatever percentage the library
  -- last heard: the tab no longer shows it loading.
  tab.progress = (tab.failed or tab.crashed) and 100 or info.uProcent
  tab.back = info.bBackwardEnable
  tab.forward = info.bForwardEnable
end

function browser.default_engine()
  for _, e in ipairs(browser.engines) do if e.default == "true" then return e end end
  return browser.engines[1]
end
function browser.search_url(words) return address.search(words, browser.default_engine()) end
function browser.address(input) return address.resolve(input, browser.default_engine()) end

require("model.tabs")(browser)
require("model.pagetext")(browser)
require("model.settings")(browser)
require("model.session")(browser)
require("model.find")(browser)
require("model.completion")(browser)
require("model.hints")(browser)

-- Why a page could not be loaded, in a few words: "name not resolved", "404 Not Found".
function browser.load_error(values)
  local err = values.ERROR or ""
  local net = err:match("^net::ERR_([%w_]+)")
  if net then return (net:lower():gsub("_", " ")) end
  local http = err:match("^HTTP (.+)$")
  if http then return http end
  return err ~= "" and err or "unknown error"
end

local function on_saved(values)
  if not values.FILE then return browser.say("could not save: " .. browser.clean(values.ERROR or "unknown error")) end
  table.insert(browser.saves, 1, values.FILE)
  browser.saves[11] = nil
  browser.say("saved " .. browser.clean(values.FILE))
end

function browser.on_tab(id, key, value)
  if id == 0 then
    browser.on_setting(key, value)
    return browser.changed("setting", key, value)
  end
  refresh(id)
  local tab, index = browser.find(id)
  local values = browser.values(value)
  local where = index and ("tab " .. index .. ": ") or ""
  if tab and (key == "BEFORENAVIGATE" or key == "NAVIGATECOMPLETE") then
    tab.text, tab.source, tab.crashed = nil, nil, nil
  end
  if tab and key == "BEFORENAVIGATE" then tab.failed = nil end
  if tab and (key == "NAVIGATEERROR" or key == "PROCESSCRASH") then tab.progress = 100 end
  if key == "NAVIGATECOMPLETE" and values.URL then browser.visited[values.URL] = true end
  if key == "NAVIGATEERROR" then
    if tab then tab.failed = true end
    browser.say(where .. "could not load " .. browser.clean(values.URL or "the page") .. ": " .. browser.clean(browser.load_error(values)))
  elseif key == "PROCESSCRASH" then
    if tab then tab.crashed, tab.unresponsive = true, nil end
    browser.say(where .. "the page crashed; reload brings it back")
  elseif key == "SAVECOMPLETE" then
    on_saved(values)
  elseif key == "ORDERUNSUPPORTED" then
    browser.say(browser.clean((values.CMD or "the order") .. ": " .. (values.REASON or "not available")))
  elseif key == "PAGETEXT" and tab then
    browser.on_page_text(tab, values)
  elseif key == "FINDRESULT" then
    browser.on_find_result(id, values)
  elseif key == "CLOSEWNDNOTIFTY" then
    if index then browser.close(index) end
  elseif key == "NEWINDOW" then
    browser.open_child(id, values.BACKGROUND == "TRUE")
  elseif key == "HINTS" then
    browser.on_hints(id, values)
  elseif key == "PAGEUNRESPONSIVE" and tab then
    -- Seconds the page had not answered when it was reported; nil once it answers.
    local seconds = tonumber(values.SECONDS or "")
    if not seconds or seconds < 0 then
      browser.say(where .. "a bad PAGEUNRESPONSIVE left out: " .. browser.clean(value or ""))
    else
      tab.unresponsive = seconds > 0 and seconds or nil
      browser.say(where .. (tab.unresponsive and "the page is not responding" or "the page responds again"))
      if tab.unresponsive then browser.give_up_text(tab, where .. "gave up reading the page: it is not responding") end
    end
  elseif key == "BLOCKEDCOUNT" and tab then
    tab.blocked = tonumber(values.COUNT or "0", 16) or 0
  end
  -- A new document has no labels: hint mode on its tab is over.
  if key == "BEFORENAVIGATE" and browser.hinting and browser.hinting.tab == id then
    browser.hinting = nil
    browser.changed("hints")
  end
  browser.changed("tab", id, key, value)
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
  elseif key == "TabKeptForRecovery" then
    tm.GetRecoverLists()
  end
  browser.changed("data", key, data)
end

return browser
