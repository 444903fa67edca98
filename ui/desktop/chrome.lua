-- The window's layout: the tab strip, the toolbar with the address entry, the progress
-- bar, the find bar, the page area and the status line. Change the look here (and in
-- style.css); main.lua gives the parts their behaviour.
local browser = require("browser")
local bookmarks = require("bookmarks")
local noticebar = require("noticebar")

local chrome = {}

local function read_file(path)
  local file = io.open(path, "r")
  if not file then return nil end
  local text = file:read("*a")
  file:close()
  return text
end

function chrome.build()
  local c = {}
  c.window = ui.main_window()
  local last = browser.tm.GetValue("desktop.window")
  c.window.SetDefaultSize(chrome.window_size(last and last:str() or "", c.window.WorkArea()))

  local column = ui.box(true, 0)

  local strip_row = ui.box(false, 2)
  c.tabs = ui.tabstrip()
  c.new_tab = ui.button("+")
  c.new_tab.SetTooltip("New tab (Ctrl+T)")
  strip_row.Add(c.tabs, true)
  strip_row.Add(c.new_tab, false)
  strip_row.AddStyle("tabrow")

  local toolbar = ui.box(false, 2)
  toolbar.AddStyle("toolbar")
  c.back = ui.button("")
  c.back.SetIcon("go-previous")
  c.back.SetTooltip("Back (Alt+Left)")
  c.forward = ui.button("")
  c.forward.SetIcon("go-next")
  c.forward.SetTooltip("Forward (Alt+Right)")
  c.reload = ui.button("")
  c.reload.SetIcon("view-refresh")
  c.reload.SetTooltip("Reload (F5)")
  c.home = ui.button("")
  c.home.SetIcon("go-home")
  c.address = ui.entry()
  c.address.SetPlaceholder("Address or search words")
  c.star = ui.button("")
  c.star.SetIcon("bookmark-new")
  c.star.SetTooltip("Bookmark this page (Ctrl+D)")
  c.menu_button = ui.button("")
  c.menu_button.SetIcon("open-menu")
  c.menu = ui.menu()
  -- The zoom, when it is not 100%; a click sets it back.
  c.zoom = ui.button("")
  c.zoom.AddStyle("zoomlevel")
  c.zoom.SetTooltip("Actual size (Ctrl+0)")
  for _, w in ipairs({c.back, c.forward, c.reload, c.home}) do toolbar.Add(w, false) end
  toolbar.Add(c.address, true)
  toolbar.Add(c.zoom, false)
  toolbar.Add(c.star, false)
  toolbar.Add(c.menu_button, false)

  -- The bookmarks bar: a fixed set of buttons, shown as far as there are bookmarks.
  c.bar = ui.box(false, 2)
  c.bar.AddStyle("bookmarkbar")
  c.bar_buttons = {}
  for i = 1, 12 do
    local b = ui.button("")
    b.AddStyle("bookmark")
    c.bar.Add(b, false)
    c.bar_buttons[i] = b
  end

  -- The session bar: offers the last run's tabs at a start that did not reopen them.
  c.session_bar, c.session_label, c.session_reopen, c.session_dismiss =
    noticebar.build("sessionbar", "Reopen them", "Not now")

  c.progress = ui.progress()
  c.progress.AddStyle("pageprogress")

  c.findbar = ui.box(false, 4)
  c.findbar.AddStyle("findbar")
  c.find_entry = ui.entry()
  c.find_entry.SetPlaceholder("Find in page")
  c.find_label = ui.label("")
  c.find_close = ui.button("")
  c.find_close.SetIcon("window-close")
  c.findbar.Add(ui.label("Find:"), false)
  c.findbar.Add(c.find_entry, false)
  c.findbar.Add(c.find_label, false)
  c.findbar.Add(c.find_close, false)

  -- The settings dialog: the home page.
  c.settings = ui.dialog("Settings")
  local form = ui.box(true, 6)
  form.Add(ui.label("Home page"), false)
  c.home_entry = ui.entry()
  c.home_entry.SetSize(360, -1)
  c.home_entry.SetActivatesDefault(true)
  form.Add(c.home_entry, false)
  c.settings.SetContent(form)
  c.settings.AddButton("Cancel", "cancel", false)
  c.settings.AddButton("Save", "save", true)

  c.page = ui.page_area()
  -- Why the current tab's page could not be loaded, over the page area.
  c.error_page = ui.box(true, 8)
  c.error_page.AddStyle("errorpage")
  c.error_title = ui.label("This page could not be loaded")
  c.error_title.AddStyle("errortitle")
  c.error_reason = ui.label("")
  c.error_url = ui.label("")
  c.error_retry = ui.button("Try again")
  for _, w in ipairs({c.error_title, c.error_reason, c.error_url}) do c.error_page.Add(w, false) end
  local retry_row = ui.box(false, 0)
  retry_row.Add(ui.label(""), true)
  retry_row.Add(c.error_retry, false)
  retry_row.Add(ui.label(""), true)
  c.error_page.Add(retry_row, false)
  c.page.AddOverlay(c.error_page)
  bookmarks.build(c)
  c.status = ui.label("")
  c.status.SetAlign(0)
  c.status.AddStyle("statusline")

  column.Add(strip_row, false)
  column.Add(toolbar, false)
  column.Add(c.bar, false)
  column.Add(c.session_bar, false)
  column.Add(require("hangbar").build(c), false)
  column.Add(c.progress, false)
  column.Add(c.findbar, false)
  column.Add(c.page, true)
  column.Add(c.status, false)
  c.window.SetChild(column)

  local css = read_file(host.ui_dir .. "/style.css")
  if css then ui.style(css) end

  c.window.Present()
  c.findbar.Hide()
  c.zoom.Hide()
  c.error_page.Hide()
  for _, b in ipairs(c.bar_buttons) do b.Hide() end
  c.bar.Hide()
  c.session_bar.Hide()
  c.hang_bar.Hide()
  return c
end

-- The window's first size: the one it had last time ("width height", kept in the store)
-- when it fits the screen's work area ("width height"), else most of the screen.
function chrome.window_size(last, area)
  local aw, ah = (area or ""):match("^(%d+) (%d+)$")
  aw, ah = tonumber(aw) or 1024, tonumber(ah) or 700
  if aw < 100 or ah < 100 then aw, ah = 1024, 700 end
  local w, h = (last or ""):match("^(%d+) (%d+)$")
  w, h = tonumber(w), tonumber(h)
  if w and h and w >= 200 and h >= 150 and w <= aw and h <= ah then return w, h end
  return math.min(1280, math.floor(aw * 0.85)), math.min(900, math.floor(ah * 0.85))
end

return chrome
