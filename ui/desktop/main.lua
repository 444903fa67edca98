-- The desktop browser's chrome: a GTK window built from the host's widget classes over
-- the browser model (ui/browser.lua) that the terminal interface uses too. The layout is
-- chrome.lua, the look style.css, the shortcuts keys.lua, what they do actions.lua, the
-- menu menu.lua, the offer of the last run's tabs sessionbar.lua, the wiring of the
-- widgets signals.lua, what the window shows view.lua and the state file state.lua.
local browser = require("browser")
local bookmarks = require("bookmarks")
local chrome = require("chrome")
local findbar = require("findbar")
local sessionbar = require("sessionbar")
local view = require("view")
require("model.remote")(browser)  -- commands from other programs

local tm = browser.tm

browser.listeners[#browser.listeners + 1] = function(kind, key)
  if not view.c then return end
  if kind == "tabs" then
    view.refresh()
  elseif kind == "message" then
    view.say(key)
  elseif kind == "find" then
    findbar.label = findbar.answer(browser.finding)
    view.c.find_label.SetText(findbar.label)
  elseif kind == "session" then
    sessionbar.show(key)
  elseif kind == "hints" then
    view.write_state()
  end
end

function OnStart()
  view.c = chrome.build()
  require("signals")(view.c)
  bookmarks.connect(view.c)
  sessionbar.connect()
  require("hangbar").connect(view.c, view.refresh)
  browser.start(host.start_url)
  view.completions()
  view.refresh()
end

function OnTabNotify(id, key, value)
  browser.on_tab(id, key, value)
  local values = browser.values(value)
  local c = view.c
  if key == "CHLIDHANDLE" then
    view.show_selected()
  elseif key == "ICONCHANGE" then
    -- Other icons are not fetched: the tab keeps the default one.
    c.tabs.SetIcon(id, view.served_icon_file(values.ICOURL) or "")
  elseif key == "BEFORENAVIGATE" then
    c.tabs.SetIcon(id, "")
    view.errors[id] = nil
    view.hovered(id, "")
  elseif key == "NAVIGATEERROR" then
    view.errors[id] = {url = browser.clean(values.URL or ""), reason = browser.clean(browser.load_error(values))}
  elseif key == "PROCESSCRASH" then
    -- In place of the page's blank area: what happened, and a reload that brings it back.
    local tab = browser.find(id)
    view.errors[id] = {url = tab and tab.url or "", reason = "the page's process ended (" ..
                       browser.clean(values.STATUS or "crashed") .. ")", crashed = true}
  elseif key == "PAGEUNRESPONSIVE" then
    -- A new report shows the bar again, even after "Wait".
    local tab = browser.find(id)
    if tab then tab.hang_waited = nil end
  elseif key == "AUDIOSTATECHANGE" then
    c.tabs.SetAudio(id, values.PLAYING == "TRUE")
  elseif key == "STATEXTCHANGED" then
    view.hovered(id, browser.clean(values.STATTEXT or ""))
  elseif key == "BLOCKEDCOUNT" then
    -- The shown page's count, unless a link under the pointer has the status line.
    local tab = browser.find(id)
    if id == browser.current and not view.hover[id] and tab and (tab.blocked or 0) > 0 then
      view.say(string.format("%d blocked on this page", tab.blocked))
    end
  elseif key == "NAVIGATECOMPLETE" then
    view.completions()
    if id == browser.current then tm.GetNavigateHistory(id) end
  end
  view.refresh()
end

function OnDataNotify(key, data)
  browser.on_data(key, data)
  if key == "AddFavoriteDialog" then
    if data == "focused" then
      view.dialog_focused = true
    else
      view.dialog = data == "shown" and "add-bookmark" or "none"
      view.dialog_focused = false
    end
    if data == "no page" then view.say("no page to bookmark") end
  elseif key == "GetAllFavoriteItems" then
    view.completions()
    view.bookmark_bar()
  end
  view.refresh()
end

function OnQuit()
  -- The next start opens the window at this size.
  if view.c then browser.tm.SetValue("desktop.window", view.c.window.Size()) end
  view.write_state()
end

function OnError(text)
  io.stderr:write(text, "\n")
  if view.c then view.say("interface error (see the terminal)") end
end
