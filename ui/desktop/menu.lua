-- The main menu: commands, bookmarks, recently closed tabs, the tab's history, the
-- search engines, the files saved in this run and the settings, made anew at each opening.
local browser = require("browser")
local actions = require("actions")
local bookmarks = require("bookmarks")
local keys = require("keys")
local view = require("view")

local menu = {}
local tm = browser.tm

local function checked(on) return on and "✓ " or "   " end

-- Adds up to `most` entries of `list`, after a separator, as "<kind>:<n>".
local function section(m, list, most, kind, label)
  if #list == 0 then return end
  m.AddSeparator()
  for i, item in ipairs(list) do
    if i > most then break end
    m.Add(label(item), kind .. ":" .. i)
  end
end

-- The shortest key name of each action (keys.lua), as the menu shows it.
local shortcut = {}
for name, action in pairs(keys) do
  local now = shortcut[action]
  if not now or #name < #now or (#name == #now and name < now) then shortcut[action] = name end
end

-- An entry of `action`, with its shortcut when it has one.
local function entry(m, label, action)
  if shortcut[action] then m.AddWithKey(label, action, shortcut[action]) else m.Add(label, action) end
end

function menu.open()
  local m = view.c.menu
  m.Clear()
  entry(m, "New tab", "new_tab")
  entry(m, "Reopen closed tab", "reopen_closed")
  if #browser.last_session() > 0 then m.Add("Reopen the last run's tabs", "reopen_session") end
  entry(m, bookmarks.of_current() and "Edit this page's bookmark…" or "Bookmark this page", "bookmark")
  entry(m, "Find in page", "find")
  entry(m, "Save page", "save")
  m.AddSeparator()
  entry(m, string.format("Zoom in (%d%%)", browser.zoom()), "zoom_in")
  entry(m, "Zoom out", "zoom_out")
  entry(m, "Actual size", "zoom_reset")
  section(m, browser.favorites, 20, "bookmark", function(f) return "★ " .. browser.clean(f.title ~= "" and f.title or f.url) end)
  section(m, browser.closed, 10, "closed", function(e) return "↺ " .. browser.clean(e.name or "") end)
  if #browser.history > 1 then
    section(m, browser.history, 15, "history", function(h)
      return (h.current == "true" and "• " or "   ") .. browser.clean(h.name ~= "" and h.name or h.url or "")
    end)
  end
  section(m, browser.engines, 100, "engine", function(e)
    return checked(e.default == "true") .. "Search with " .. browser.clean(e.name or "")
  end)
  section(m, browser.saves, 10, "saved", function(file) return "⤓ " .. browser.clean(file:match("[^/]*$")) end)
  m.AddSeparator()
  local tab = browser.find(browser.current or 0)
  local blocking, site = host.blocking(tab and tab.url or "")
  if site then m.Add(checked(blocking) .. "Block ads and trackers on " .. site, "toggle_blocking") end
  m.Add(checked(browser.restore_setting() == "always") .. "Reopen the tabs at every start", "toggle_restore")
  m.Add(checked(tm.IsShowSetDefaultBrowserDlg()) .. "Check that this is the default browser", "toggle_default_check")
  m.Add("Settings…", "settings")
  entry(m, "Quit", "quit")
  view.menu_keys = m.KeyOf("new_tab") .. "|" .. m.KeyOf("find") .. "|" .. m.KeyOf("quit")
  m.PopupBelow(view.c.menu_button)
end

-- What the numbered entries do.
local numbered = {
  bookmark = function(n) local f = browser.favorites[n] if f then browser.open(f.url) end end,
  closed = function(n) if browser.closed[n] then browser.restore(n) end end,
  history = function(n)
    local h = browser.history[n]
    if h and h.url then browser.command("Navigate", h.url) end
  end,
  engine = function(n)
    local e = browser.engines[n]
    if e then
      tm.SetDefaultSearch(e.id)
      tm.GetAllSearchLists()
    end
  end,
  saved = function(n) if browser.saves[n] then browser.open("file://" .. browser.saves[n]) end end,
}

function menu.activate(action)
  local kind, n = action:match("^(%a+):(%d+)$")
  if kind and numbered[kind] then
    numbered[kind](tonumber(n))
  elseif actions[action] then
    actions[action]()
  end
  view.refresh()
  return true
end

return menu
