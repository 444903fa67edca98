-- What the window shows of the model, brought up to date after every change: the tab
-- strip, the current tab's address, title, buttons and progress, the bookmarks bar, the
-- status line and the address entry's completions. Holds the window's own state (which
-- dialog is shown, what has the keyboard) for the other parts of the chrome.
local browser = require("browser")
local state = require("state")

local view = {
  c = nil,                  -- the window's parts (chrome.build)
  status = "",              -- the status line's text
  dialog = "none",          -- the dialog shown now
  address_editing = false,  -- the user is typing in the address entry
  focused = false,          -- the window has the keyboard
  dialog_focused = false,   -- the dialog shown now has the keyboard
  menu_open = false,
  bar_labels = {},          -- the bookmarks bar as shown
  bar_menu_open = false,
  hover = {},               -- per tab: the link under the pointer, as the page said
  errors = {},              -- per tab: why its page could not be loaded {url, reason}
  shown_tab = nil,          -- the tab whose page is shown
}

function view.current_tab() return browser.find(browser.current or 0) end

function view.say(text)
  view.status = browser.clean(text)
  if view.c then view.c.status.SetText(view.status) end
end

-- Only the selected tab's page is shown in the page area; a page that could not be
-- loaded gives its place to the reason why. The status line speaks of the shown page
-- only: another tab's shows that tab's link under the pointer, or nothing.
function view.show_selected()
  local c, current = view.c, browser.current
  ui.set_current_tab(current or 0)
  local err = current and view.errors[current]
  for _, tab in ipairs(browser.tabs) do ui.show_page(tab.id, tab.id == current and not err) end
  if err then
    c.error_title.SetText(err.crashed and "This page crashed" or "This page could not be loaded")
    c.error_retry.SetLabel(err.crashed and "Reload" or "Try again")
    c.error_reason.SetText(err.reason)
    c.error_url.SetText(err.url)
    c.error_page.Show()
  else
    c.error_page.Hide()
  end
  c.tabs.Select(current or 0)
  require("hangbar").update(c)
  if view.shown_tab ~= current then
    view.shown_tab = current
    view.say(current and view.hover[current] or "")
  end
end

-- The link under the pointer in tab `id` ("" when none), shown while its page is.
function view.hovered(id, text)
  local had = view.hover[id]
  view.hover[id] = text ~= "" and text or nil
  if id == browser.current and (text ~= "" or had) then view.say(text) end
end

local function window_title()
  local tab = view.current_tab()
  if tab and tab.title ~= "" then return tab.title .. " - uicontrol" end
  return "uicontrol"
end

-- Everything the window shows of the current tab.
local function show_current()
  local c, tab = view.c, view.current_tab()
  c.window.SetTitle(window_title())
  if not view.address_editing then c.address.SetText(tab and tab.url or "") end
  c.back.SetSensitive(tab ~= nil and tab.back == true)
  c.forward.SetSensitive(tab ~= nil and tab.forward == true)
  local progress = tab and tab.progress or 100
  c.progress.SetPercent(progress >= 100 and 0 or progress)
  local zoom = browser.zoom()
  if zoom == 100 then
    c.zoom.Hide()
  else
    c.zoom.SetLabel(zoom .. "%")
    c.zoom.Show()
  end
end

local function sync_strip()
  local c = view.c
  -- Tabs the model has and the strip lacks, and the other way round.
  local present = {}
  for i, tab in ipairs(browser.tabs) do
    present[tab.id] = true
    if c.tabs.IndexOf(tab.id) < 0 then c.tabs.AddTab(tab.id, i - 1) end
    -- A crashed page's tab says so before its title.
    local mark = tab.crashed and "(crashed) " or tab.unresponsive and "(not responding) " or ""
    c.tabs.SetTitle(tab.id, mark .. (tab.title ~= "" and tab.title or tab.url))
    c.tabs.SetProgress(tab.id, math.max(0, math.min(100, tab.progress or 0)))
  end
  for id in c.tabs.Order():gmatch("%d+") do
    id = tonumber(id)
    if not present[id] then c.tabs.RemoveTab(id) end
  end
  view.show_selected()
end

function view.bookmark_bar()
  local c, shown = view.c, {}
  -- Showing the bar shows all its buttons: the unused ones are hidden after.
  if #browser.favorites > 0 then c.bar.Show() else c.bar.Hide() end
  for i, b in ipairs(c.bar_buttons) do
    local f = browser.favorites[i]
    if f then
      local label = browser.clean(f.title ~= "" and f.title or f.url)
      if #label > 24 then label = label:sub(1, 22) .. "…" end
      b.SetLabel(label)
      b.SetTooltip(browser.clean(f.url or ""))
      b.Show()
      shown[#shown + 1] = label
    else
      b.Hide()
    end
  end
  view.bar_labels = shown
end

function view.completions()
  view.c.address.SetCompletions(table.concat(browser.known_addresses(), "\n"))
end

-- The file of a served page's icon, from its address (nil for any other address, and
-- for one that would leave the served folder).
function view.served_icon_file(url)
  if not url or host.base_url == "" or host.serve_dir == "" then return nil end
  if url:sub(1, #host.base_url) ~= host.base_url then return nil end
  local path = url:sub(#host.base_url + 1):gsub("[?#].*$", "")
  if path == "" or path:find("..", 1, true) or path:find("%%") then return nil end
  return host.serve_dir .. "/" .. path
end

function view.write_state() state.dump(view) end

function view.refresh()
  sync_strip()
  show_current()
  view.write_state()
end

return view
