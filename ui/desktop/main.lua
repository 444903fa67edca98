-- The desktop browser's chrome: a GTK window built from the host's widget classes, with
-- the browser model (ui/browser.lua) of the terminal interface underneath. Tabs, page
-- events and the store's lists arrive through the callbacks below; the keyboard
-- shortcuts are in keys.lua, the layout in chrome.lua, the look in style.css.
local browser = require("browser")
local widgets = require("widgets")
local keys = require("keys")
local state = require("state")
local findbar = require("findbar")
local chrome = require("chrome")

local tm = browser.tm
local on = widgets.on
local c                      -- the window's parts (chrome.build)
local status_text = ""
local dialog = "none"        -- the dialog shown now
local saved = ""             -- the last saved file
local saves = {}             -- files saved in this run, newest first (at most 10)
local zoom_steps = {25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500}
local actions = {}
local address_editing = false -- the user is typing in the address entry
local focused = false         -- the window has the keyboard
local bar_labels = {}         -- the bookmarks bar as shown
local menu_open = false
local dialog_focused = false  -- the dialog shown now has the keyboard

local function current_tab() return browser.find(browser.current or 0) end

-- The store's zoom and home page, read once and then followed (the store is not asked on
-- every page event).
local zoom_now, home_now

local function zoom()
  if not zoom_now then
    local z = tm.GetWebZoom(0)
    zoom_now = z == 0 and 100 or z
  end
  return zoom_now
end

local function window_title()
  local tab = current_tab()
  if tab and tab.title ~= "" then return tab.title .. " - uicontrol" end
  return "uicontrol"
end

-- The home page: the setting kept in the store, else the one the program started with.
local function home_page()
  if not home_now then
    local kept = tm.GetValue("homepage")
    home_now = kept and kept:str() or ""
  end
  return home_now ~= "" and home_now or host.home
end

-- The state file's lines: what a test or a tool reads.
local function write_state()
  if host.state_file == "" then return end
  local lines = {state.line("engine", host.engine), state.line("tabs", #browser.tabs)}
  local selected = 0
  for i, tab in ipairs(browser.tabs) do
    if tab.id == browser.current then selected = i end
    lines[#lines + 1] = state.line("tab", string.format("%d %d %s", i, tab.id, tab.title))
  end
  local tab = current_tab()
  lines[#lines + 1] = state.line("selected", selected)
  lines[#lines + 1] = state.line("title", c.window.Title())
  lines[#lines + 1] = state.line("url", tab and tab.url or "")
  lines[#lines + 1] = state.line("progress", tab and tab.progress or 0)
  lines[#lines + 1] = state.line("back", tab and tab.back and 1 or 0)
  lines[#lines + 1] = state.line("forward", tab and tab.forward and 1 or 0)
  lines[#lines + 1] = state.line("find", c.findbar.Visible() and c.find_label.Text() or "")
  lines[#lines + 1] = state.line("zoom", zoom())
  lines[#lines + 1] = state.line("bookmarks", #browser.favorites)
  for _, f in ipairs(browser.favorites) do
    lines[#lines + 1] = state.line("bookmark", (f.title or "") .. "\t" .. (f.url or ""))
  end
  lines[#lines + 1] = state.line("bar", table.concat(bar_labels, "|"))
  lines[#lines + 1] = state.line("home", home_page())
  lines[#lines + 1] = state.line("closed", #browser.closed)
  lines[#lines + 1] = state.line("dialog", dialog)
  lines[#lines + 1] = state.line("focused", focused and 1 or 0)
  lines[#lines + 1] = state.line("dialogfocus", dialog_focused and 1 or 0)
  lines[#lines + 1] = state.line("menu", menu_open and 1 or 0)
  lines[#lines + 1] = state.line("address", c.address.Text())
  lines[#lines + 1] = state.line("addressfocus", c.address.HasFocus() and 1 or 0)
  lines[#lines + 1] = state.line("saved", saved)
  lines[#lines + 1] = state.line("status", status_text)
  lines[#lines + 1] = state.line("order", c.tabs.Order())
  lines[#lines + 1] = state.line("tabtitle", tab and c.tabs.TitleGeometry(tab.id) or "")
  for i, t in ipairs(browser.tabs) do
    lines[#lines + 1] = state.line("tabrect", i .. " " .. c.tabs.TitleGeometry(t.id))
  end
  lines[#lines + 1] = state.line("menubutton", c.menu_button.Geometry())
  lines[#lines + 1] = state.line("pagearea", c.page.Geometry())
  state.write(lines)
end

local function say(text)
  status_text = browser.clean(text)
  c.status.SetText(status_text)
end

-- Only the selected tab's page is shown in the page area.
local function show_selected()
  ui.set_current_tab(browser.current or 0)
  for _, tab in ipairs(browser.tabs) do ui.show_page(tab.id, tab.id == browser.current) end
  c.tabs.Select(browser.current or 0)
end

-- Everything the window shows of the current tab.
local function show_current()
  local tab = current_tab()
  c.window.SetTitle(window_title())
  if not address_editing then c.address.SetText(tab and tab.url or "") end
  c.back.SetSensitive(tab ~= nil and tab.back == true)
  c.forward.SetSensitive(tab ~= nil and tab.forward == true)
  local progress = tab and tab.progress or 100
  c.progress.SetPercent(progress >= 100 and 0 or progress)
end

local function sync_strip()
  -- Tabs the model has and the strip lacks, and the other way round.
  local present = {}
  for i, tab in ipairs(browser.tabs) do
    present[tab.id] = true
    if c.tabs.IndexOf(tab.id) < 0 then c.tabs.AddTab(tab.id, i - 1) end
    c.tabs.SetTitle(tab.id, tab.title ~= "" and tab.title or tab.url)
    c.tabs.SetProgress(tab.id, math.max(0, math.min(100, tab.progress or 0)))
  end
  for id in c.tabs.Order():gmatch("%d+") do
    id = tonumber(id)
    if not present[id] then c.tabs.RemoveTab(id) end
  end
  show_selected()
end

local function bookmark_bar()
  local shown = {}
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
  return shown
end

-- The file of a served page's icon, from its address (nil for any other address, and
-- for one that would leave the served folder).
local function served_icon_file(url)
  if not url or host.base_url == "" or host.serve_dir == "" then return nil end
  if url:sub(1, #host.base_url) ~= host.base_url then return nil end
  local path = url:sub(#host.base_url + 1):gsub("[?#].*$", "")
  if path == "" or path:find("..", 1, true) or path:find("%%") then return nil end
  return host.serve_dir .. "/" .. path
end

local function completions()
  local seen, list = {}, {}
  local function add(url)
    if url and url ~= "" and not seen[url] then
      seen[url] = true
      list[#list + 1] = url
    end
  end
  for _, f in ipairs(browser.favorites) do add(f.url) end
  for url in pairs(browser.visited) do add(url) end
  for _, t in ipairs(host.session or {}) do add(t.url) end
  table.sort(list)
  c.address.SetCompletions(table.concat(list, "\n"))
end

local function refresh_all()
  sync_strip()
  show_current()
  write_state()
end

local function select_index(n)
  if #browser.tabs == 0 then return end
  address_editing = false
  n = ((n - 1) % #browser.tabs) + 1
  browser.select(n)
  tm.GetNavigateHistory(browser.current)
end

local function current_index()
  local _, index = current_tab()
  return index or 0
end

local function set_zoom(percent)
  tm.SetWebZoom(browser.current or 0, percent)
end

local function find_now(same)
  local text = c.find_entry.Text()
  if text == "" or not browser.current then return end
  findbar.pending = {text = text, same = same and text == findbar.text}
  host.order(browser.current, "CMD=FIND\nTEXT=" .. text:gsub("[\r\n]", " ") .. "\n")
end

-- The actions the keys and buttons call; true: handled.
function actions.new_tab()
  browser.open(home_page())
  c.address.SelectAll()
  return true
end
function actions.close_tab()
  if browser.current then browser.close() end
  if #browser.tabs == 0 then actions.new_tab() end
  return true
end
function actions.reopen_closed()
  if #browser.closed > 0 then
    browser.restore(1)
  else
    say("no closed tabs to reopen")
  end
  return true
end
function actions.focus_address() c.address.SelectAll() return true end
function actions.next_tab() select_index(current_index() + 1) return true end
function actions.previous_tab() select_index(current_index() - 1) return true end
function actions.back() browser.command("GoBack") return true end
function actions.forward() browser.command("GoForward") return true end
function actions.home() browser.command("Navigate", home_page()) return true end
function actions.settings()
  c.home_entry.SetText(home_page())
  c.settings.Show()
  c.home_entry.SelectAll()
  dialog = "settings"
  return true
end
function actions.reload() browser.command("Refresh") return true end
function actions.stop() browser.command("Stop") return true end
function actions.escape()
  if c.findbar.Visible() then
    c.findbar.Hide()
    findbar.text, findbar.index = "", 0
    return true
  end
  return actions.stop()
end
function actions.find()
  c.findbar.Show()
  c.find_entry.SelectAll()
  return true
end
function actions.find_next()
  if not c.findbar.Visible() then return actions.find() end
  find_now(true)
  return true
end
function actions.bookmark()
  if not browser.current then return true end
  ui.set_current_tab(browser.current)
  if not ui.add_bookmark() then say("cannot bookmark this page") end
  return true
end
function actions.zoom_in()
  local z = zoom()
  for _, step in ipairs(zoom_steps) do if step > z then set_zoom(step) return true end end
  return true
end
function actions.zoom_out()
  local z = zoom()
  for i = #zoom_steps, 1, -1 do if zoom_steps[i] < z then set_zoom(zoom_steps[i]) return true end end
  return true
end
function actions.zoom_reset() set_zoom(100) return true end
function actions.save() browser.command("SaveWeb") return true end
function actions.quit() host.quit() return true end

-- The tabs of the last run come back with --restore or the setting "always".
local function restore_setting()
  local file = io.open(host.profile .. "/restore-tabs", "r")
  if not file then return nil end
  local value = file:read("*l")
  file:close()
  return value
end

-- The main menu: commands, bookmarks and recently closed tabs, made anew at each opening.
local function open_menu()
  local m = c.menu
  m.Clear()
  m.Add("New tab", "new_tab")
  m.Add("Reopen closed tab", "reopen_closed")
  m.Add("Bookmark this page", "bookmark")
  m.Add("Find in page", "find")
  m.Add("Save page", "save")
  m.AddSeparator()
  m.Add(string.format("Zoom in (%d%%)", zoom()), "zoom_in")
  m.Add("Zoom out", "zoom_out")
  m.Add("Actual size", "zoom_reset")
  if #browser.favorites > 0 then
    m.AddSeparator()
    for i, f in ipairs(browser.favorites) do
      if i > 20 then break end
      m.Add("★ " .. browser.clean(f.title ~= "" and f.title or f.url), "bookmark:" .. i)
    end
  end
  if #browser.closed > 0 then
    m.AddSeparator()
    for i, e in ipairs(browser.closed) do
      if i > 10 then break end
      m.Add("↺ " .. browser.clean(e.name or ""), "closed:" .. i)
    end
  end
  if #browser.history > 1 then
    m.AddSeparator()
    for i, h in ipairs(browser.history) do
      if i > 15 then break end
      local mark = h.current == "true" and "• " or "   "
      m.Add(mark .. browser.clean(h.name ~= "" and h.name or h.url or ""), "history:" .. i)
    end
  end
  if #browser.engines > 0 then
    m.AddSeparator()
    for i, e in ipairs(browser.engines) do
      m.Add((e.default == "true" and "✓ " or "   ") .. "Search with " .. browser.clean(e.name or ""), "engine:" .. i)
    end
  end
  if #saves > 0 then
    m.AddSeparator()
    for i, file in ipairs(saves) do
      m.Add("⤓ " .. browser.clean(file:match("[^/]*$")), "saved:" .. i)
    end
  end
  m.AddSeparator()
  m.Add((restore_setting() == "always" and "✓ " or "   ") .. "Reopen the tabs at every start", "toggle_restore")
  m.Add((tm.IsShowSetDefaultBrowserDlg() and "✓ " or "   ") .. "Check that this is the default browser",
        "toggle_default_check")
  m.Add("Settings…", "settings")
  m.Add("Quit", "quit")
  m.PopupBelow(c.menu_button)
end

local function on_menu(action)
  local kind, n = action:match("^(%a+):(%d+)$")
  n = tonumber(n or "")
  if kind == "bookmark" and browser.favorites[n] then
    browser.open(browser.favorites[n].url)
  elseif kind == "history" and browser.history[n] and browser.history[n].url then
    browser.command("Navigate", browser.history[n].url)
  elseif kind == "engine" and browser.engines[n] then
    tm.SetDefaultSearch(browser.engines[n].id)
    tm.GetAllSearchLists()
  elseif kind == "saved" and saves[n] then
    browser.open("file://" .. saves[n])
  elseif action == "toggle_default_check" then
    tm.SetShowSetDefaultBrowserDlg(not tm.IsShowSetDefaultBrowserDlg())
  elseif action == "toggle_restore" then
    local file = io.open(host.profile .. "/restore-tabs", "w")
    if file then
      file:write(restore_setting() == "always" and "ask\n" or "always\n")
      file:close()
    end
  elseif tonumber(action:match("^closed:(%d+)$") or "") then
    browser.restore(tonumber(action:match("(%d+)$")))
  elseif actions[action] then
    actions[action]()
  end
  refresh_all()
  return true
end

local function connect()
  on(c.window, "key", function(name)
    local action = keys[name]
    if not action then return false end
    local handled = actions[action]()
    refresh_all()
    return handled
  end)
  on(c.window, "close", function() host.quit() return true end)
  on(c.window, "focus", function(how)
    focused = how == "in"
    write_state()
  end)
  on(c.new_tab, "clicked", function() actions.new_tab() refresh_all() end)
  on(c.back, "clicked", actions.back)
  on(c.forward, "clicked", actions.forward)
  on(c.reload, "clicked", actions.reload)
  on(c.home, "clicked", actions.home)
  on(c.star, "clicked", actions.bookmark)
  on(c.menu_button, "clicked", open_menu)
  on(c.menu, "activate", on_menu)
  on(c.menu, "shown", function() menu_open = true write_state() end)
  on(c.menu, "hidden", function() menu_open = false write_state() end)
  on(c.address, "changed", function() address_editing = true write_state() end)
  on(c.address, "focus", function() write_state() end)
  on(c.address, "activate", function(text)
    address_editing = false
    if text:match("^%s*$") then return end
    browser.navigate(text)
    refresh_all()
  end)
  on(c.tabs, "select", function(id)
    local _, index = browser.find(tonumber(id))
    if index then
      browser.select(index)
      tm.GetNavigateHistory(browser.current)
    end
    refresh_all()
  end)
  on(c.tabs, "close", function(id)
    local _, index = browser.find(tonumber(id))
    if index then browser.close(index) end
    if #browser.tabs == 0 then actions.new_tab() end
    refresh_all()
  end)
  on(c.tabs, "reorder", function(arg)
    local id, index = arg:match("^(%d+) (%d+)$")
    local tab, from = browser.find(tonumber(id))
    if tab then
      table.remove(browser.tabs, from)
      table.insert(browser.tabs, math.min(tonumber(index) + 1, #browser.tabs + 1), tab)
    end
    refresh_all()
  end)
  on(c.tabs, "layout", write_state)
  for i, b in ipairs(c.bar_buttons) do
    on(b, "clicked", function()
      local f = browser.favorites[i]
      if f then browser.command("Navigate", f.url) end
      refresh_all()
    end)
  end
  on(c.settings, "response", function(name)
    if name == "save" then
      local text = c.home_entry.Text():gsub("^%s+", ""):gsub("%s+$", "")
      home_now = text ~= "" and browser.address(text) or ""
      tm.SetValue("homepage", home_now)
    end
    dialog = "none"
    refresh_all()
  end)
  on(c.settings, "close", function() dialog = "none" refresh_all() end)
  on(c.settings, "focus", function(how)
    dialog_focused = how == "in"
    write_state()
  end)
  on(c.find_entry, "activate", function() find_now(true) end)
  on(c.find_close, "clicked", function() actions.escape() refresh_all() end)
end

browser.listeners[#browser.listeners + 1] = function(kind) if kind == "tabs" then refresh_all() end end

function OnStart()
  c = chrome.build()
  connect()
  tm.GetAllFavoriteItems()
  tm.GetAllSearchLists()
  tm.GetRecoverLists()
  local last = host.session or {}
  if #last > 0 and (host.restore or restore_setting() == "always") then
    for _, t in ipairs(last) do browser.reopen(t.uuid, t.title ~= "" and t.title or t.url) end
    host.session = {}
  end
  if host.start_url ~= "" then
    browser.open(browser.address(host.start_url))
  elseif #browser.tabs == 0 then
    browser.open(home_page())
  end
  completions()
  refresh_all()
end

function OnTabNotify(id, key, value)
  if id == 0 and key == "page.size" then zoom_now = tonumber(value) end
  browser.on_tab(id, key, value)
  local values = browser.values(value)
  if key == "CHLIDHANDLE" then
    show_selected()
  elseif key == "ICONCHANGE" then
    -- Other icons are not fetched: the tab keeps the default one.
    c.tabs.SetIcon(id, served_icon_file(values.ICOURL) or "")
  elseif key == "BEFORENAVIGATE" then
    c.tabs.SetIcon(id, "")
  elseif key == "AUDIOSTATECHANGE" then
    c.tabs.SetAudio(id, values.PLAYING == "TRUE")
  elseif key == "FINDRESULT" and id == browser.current then
    local pending = findbar.pending or {text = values.TEXT or "", same = false}
    findbar.pending = nil
    local count = tonumber(values.COUNT or "0", 16) or 0
    findbar.index, findbar.label = findbar.answer(pending.text, count, pending.same)
    findbar.text = pending.text
    c.find_label.SetText(findbar.label)
  elseif key == "SAVECOMPLETE" then
    if values.FILE then
      saved = values.FILE
      table.insert(saves, 1, values.FILE)
      saves[11] = nil
      say("saved " .. values.FILE)
    else say("could not save: " .. (values.ERROR or "unknown error")) end
  elseif key == "STATEXTCHANGED" then
    say(values.STATTEXT or "")
  elseif key == "NAVIGATEERROR" then
    say("could not load " .. (values.URL or "the page") .. ": " .. browser.load_error(values))
  elseif key == "NAVIGATECOMPLETE" then
    completions()
    if id == browser.current then tm.GetNavigateHistory(id) end
  end
  refresh_all()
end

function OnDataNotify(key, data)
  browser.on_data(key, data)
  if key == "AddFavoriteDialog" then
    if data == "focused" then
      dialog_focused = true
    else
      dialog = data == "shown" and "add-bookmark" or "none"
      dialog_focused = false
    end
    if data == "no page" then say("no page to bookmark") end
  elseif key == "TabKeptForRecovery" then
    tm.GetRecoverLists()
  elseif key == "GetAllFavoriteItems" then
    completions()
    bar_labels = bookmark_bar()
  end
  refresh_all()
end

function OnQuit()
  write_state()
end

function OnError(text)
  io.stderr:write(text, "\n")
  if c then say("interface error (see the terminal)") end
end
