-- What the keys (keys.lua), the buttons and the menu do, by name; each returns true when
-- it handled its key.
local browser = require("browser")
local findbar = require("findbar")
local bookmarks = require("bookmarks")
local view = require("view")

local actions = {}

local function c() return view.c end

function actions.new_tab()
  browser.open(browser.home_page())
  c().address.SelectAll()
  return true
end
function actions.close_tab()
  if browser.current then browser.close() end
  if #browser.tabs == 0 then actions.new_tab() end
  return true
end
function actions.reopen_closed()
  if #browser.closed > 0 then browser.restore(1) else view.say("no closed tabs to reopen") end
  return true
end
function actions.reopen_session()
  if #browser.last_session() == 0 then view.say("no tabs of the last run to reopen") return true end
  c().session_bar.Hide()
  browser.reopen_session()
  return true
end
function actions.focus_address() c().address.SelectAll() return true end

local function select_relative(delta)
  if #browser.tabs == 0 then return true end
  view.address_editing = false
  browser.select_relative(delta)
  browser.tm.GetNavigateHistory(browser.current)
  return true
end
-- Ctrl+1 to Ctrl+8: that tab, when there is one; Ctrl+9: the last.
local function select_tab(n)
  if not browser.tabs[n] then return true end
  view.address_editing = false
  browser.select(n)
  browser.tm.GetNavigateHistory(browser.current)
  return true
end
for n = 1, 8 do actions["tab_" .. n] = function() return select_tab(n) end end
function actions.tab_last() return select_tab(#browser.tabs) end
function actions.next_tab() return select_relative(1) end
function actions.previous_tab() return select_relative(-1) end
function actions.back() browser.command("GoBack") return true end
function actions.forward() browser.command("GoForward") return true end
function actions.home() browser.go_home() return true end
function actions.reload() browser.command("Refresh") return true end
function actions.stop() browser.command("Stop") return true end

function actions.settings()
  c().home_entry.SetText(browser.home_page())
  c().settings.Show()
  c().home_entry.SelectAll()
  view.dialog = "settings"
  return true
end
function actions.toggle_restore()
  browser.set_restore_setting(browser.restore_setting() == "always" and "ask" or "always")
  return true
end
-- Content blocking on or off for the current page's site (kept in the store); the page
-- loads again under the new choice.
function actions.toggle_blocking()
  local tab = view.current_tab()
  local on, site = host.blocking(tab and tab.url or "")
  if not site then return true end
  local ok, why = host.set_blocking(site, not on)
  if not ok then view.say(why or "refused") return true end
  view.say("content blocking " .. (on and "off" or "on") .. " for " .. site)
  browser.command("Refresh")
  return true
end

function actions.toggle_default_check()
  browser.tm.SetShowSetDefaultBrowserDlg(not browser.tm.IsShowSetDefaultBrowserDlg())
  return true
end

-- The keyboard back to the page (after Enter in the address, Esc in the find bar).
function actions.focus_page()
  if browser.current then c().page.Focus() end
  return true
end

-- Esc: the address typed is dropped for the page's; the find bar closes; else the page
-- stops loading.
function actions.escape()
  if c().address.HasFocus() then
    view.address_editing = false
    local tab = view.current_tab()
    c().address.SetText(tab and tab.url or "")
    return actions.focus_page()
  end
  if c().findbar.Visible() then
    c().findbar.Hide()
    browser.stop_finding()
    findbar.label = ""
    return actions.focus_page()
  end
  return actions.stop()
end
function actions.find()
  c().findbar.Show()
  c().find_entry.SelectAll()
  return true
end
-- The words of the find bar searched (again: the next match).
function actions.find_now()
  local text = c().find_entry.Text()
  if text ~= "" then browser.search_in_page(text) end
  return true
end
-- Typing in the find bar searches once the typing pauses (a page given a search per
-- key press answers them all, in turn); no words, no search.
local typed = 0
function actions.find_typed()
  typed = typed + 1
  local this = typed
  host.after(150, function()
    if this ~= typed or not c().findbar.Visible() then return end
    if c().find_entry.Text() ~= "" then return actions.find_now() end
    browser.stop_finding()
    findbar.label = ""
    c().find_label.SetText("")
    view.write_state()
  end)
  return true
end
-- Shift+Enter in the find bar: the match before.
function actions.find_previous()
  if not c().find_entry.HasFocus() then return false end
  browser.find_previous()
  return true
end
function actions.find_next()
  if not c().findbar.Visible() then return actions.find() end
  return actions.find_now()
end

-- f, F: labels on the links, buttons and fields in view, while the page has the keyboard
-- (in the address entry or the find bar the key is typed there).
local function hints(new, key)
  if not browser.current or not c().page.HasFocus() or browser.hinting then return false end
  return browser.show_hints(new, key)
end
function actions.hints() return hints(false, "f") end
function actions.hints_new() return hints(true, "F") end

-- A key in hint mode: a letter goes to the labels, Esc leaves, a key alone that types
-- nothing (Shift) waits; any other key leaves hint mode and then does what it does.
function actions.hint_key(name)
  if name == "Escape" then browser.leave_hints() return true end
  local char = name:match("^shift%+(%w)$") or name:match("^(%w)$")
  if char then return browser.hint_key(char) end
  if name:match("^Shift") or name:match("^Control") or name:match("^Alt") or name:match("^ISO_") then return true end
  browser.leave_hints()
  return false
end

-- Ctrl+D: a bookmarked page's bookmark is edited, any other page is bookmarked.
function actions.bookmark()
  if not browser.current then return true end
  local n = bookmarks.of_current()
  if n then return bookmarks.edit(n) or true end
  ui.set_current_tab(browser.current)
  if not ui.add_bookmark() then view.say("cannot bookmark this page") end
  return true
end

function actions.zoom_in()
  local step = browser.zoom_step(1)
  if step then browser.set_zoom(step) end
  return true
end
function actions.zoom_out()
  local step = browser.zoom_step(-1)
  if step then browser.set_zoom(step) end
  return true
end
function actions.zoom_reset() browser.set_zoom(100) return true end
function actions.save() browser.command("SaveWeb") return true end
function actions.quit() host.quit() return true end

return actions
