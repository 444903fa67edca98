-- The window's widgets wired to the actions and the model: keys, buttons, the address
-- entry, the tab strip, the bookmarks bar, the settings dialog and the find bar.
local browser = require("browser")
local widgets = require("widgets")
local keys = require("keys")
local actions = require("actions")
local menu = require("menu")
local view = require("view")

local on = widgets.on

-- `fn` and then the window brought up to date.
local function refreshing(fn)
  return function(...)
    local result = fn(...)
    view.refresh()
    return result
  end
end

local function write_state() view.write_state() end

local function focus_of(field)
  return function(how)
    view[field] = how == "in"
    write_state()
  end
end

local function connect_tabs(c)
  on(c.tabs, "select", refreshing(function(id)
    local _, index = browser.find(tonumber(id))
    if index then
      browser.select(index)
      browser.tm.GetNavigateHistory(browser.current)
    end
  end))
  on(c.tabs, "close", refreshing(function(id)
    local _, index = browser.find(tonumber(id))
    if index then browser.close(index) end
    if #browser.tabs == 0 then actions.new_tab() end
  end))
  on(c.tabs, "reorder", refreshing(function(arg)
    local id, index = arg:match("^(%d+) (%d+)$")
    if id then browser.move(tonumber(id), tonumber(index) + 1) end
  end))
  on(c.tabs, "layout", write_state)
end

local function connect_settings(c)
  on(c.settings, "response", refreshing(function(name)
    if name == "save" then browser.set_home_page(c.home_entry.Text()) end
    view.dialog = "none"
  end))
  on(c.settings, "close", refreshing(function() view.dialog = "none" end))
  on(c.settings, "focus", focus_of("dialog_focused"))
end

return function(c)
  on(c.window, "key", function(name)
    if browser.hinting and actions.hint_key(name) then
      view.refresh()
      return true
    end
    local action = keys[name]
    if not action then return false end
    local handled = actions[action]()
    view.refresh()
    return handled
  end)
  on(c.window, "close", function() host.quit() return true end)
  on(c.window, "focus", focus_of("focused"))
  on(c.window, "focus-moved", write_state)
  on(c.new_tab, "clicked", refreshing(actions.new_tab))
  on(c.back, "clicked", actions.back)
  on(c.forward, "clicked", actions.forward)
  on(c.reload, "clicked", actions.reload)
  on(c.home, "clicked", actions.home)
  on(c.star, "clicked", actions.bookmark)
  on(c.menu_button, "clicked", menu.open)
  on(c.menu, "activate", menu.activate)
  on(c.menu, "shown", function() view.menu_open = true write_state() end)
  on(c.menu, "hidden", function() view.menu_open = false write_state() end)
  on(c.address, "changed", function() view.address_editing = true write_state() end)
  on(c.address, "focus", write_state)
  on(c.address, "activate", function(text)
    view.address_editing = false
    if text:match("^%s*$") then return end
    browser.navigate(text)
    -- The page has the keyboard now: PageDown scrolls it.
    actions.focus_page()
    view.refresh()
  end)
  connect_tabs(c)
  for i, b in ipairs(c.bar_buttons) do
    on(b, "clicked", refreshing(function()
      local f = browser.favorites[i]
      if f then browser.command("Navigate", f.url) end
    end))
  end
  connect_settings(c)
  on(c.find_entry, "activate", actions.find_now)
  on(c.find_entry, "changed", actions.find_typed)
  on(c.find_entry, "focus", write_state)
  on(c.zoom, "clicked", refreshing(actions.zoom_reset))
  on(c.error_retry, "clicked", refreshing(function()
    local err = browser.current and view.errors[browser.current]
    if err and err.crashed then view.errors[browser.current] = nil end
    if err and err.url ~= "" and not err.crashed then browser.command("Navigate", err.url) else actions.reload() end
  end))
  on(c.find_close, "clicked", refreshing(actions.escape))
end
