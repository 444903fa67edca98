-- The chrome's state as lines in the file named by --state (host.state_file), written
-- whole (through a temporary file and a rename) whenever it changes: what tests and
-- tools outside the process read.
local browser = require("browser")

local state = {}
local last = nil

function state.write(lines)
  if host.state_file == nil or host.state_file == "" then return end
  local text = table.concat(lines, "\n") .. "\n"
  if text == last then return end
  local temporary = host.state_file .. ".new"
  local file = io.open(temporary, "w")
  if not file then return end
  file:write(text)
  file:close()
  if os.rename(temporary, host.state_file) then last = text end
end

-- One line: a name and its value, with line breaks of the value made spaces.
function state.line(name, value)
  return name .. " " .. tostring(value == nil and "" or value):gsub("[\r\n]", " ")
end

-- The lines of the model and of the window `view` shows.
function state.dump(view)
  if host.state_file == "" then return end
  local c = view.c
  local lines = {}
  local function add(name, value) lines[#lines + 1] = state.line(name, value) end
  add("engine", host.engine)
  add("tabs", #browser.tabs)
  local selected = 0
  for i, tab in ipairs(browser.tabs) do
    if tab.id == browser.current then selected = i end
    add("tab", string.format("%d %d %s", i, tab.id, tab.title))
  end
  local tab = view.current_tab()
  add("selected", selected)
  add("title", c.window.Title())
  add("url", tab and tab.url or "")
  add("progress", tab and tab.progress or 0)
  add("back", tab and tab.back and 1 or 0)
  add("forward", tab and tab.forward and 1 or 0)
  add("find", c.findbar.Visible() and c.find_label.Text() or "")
  add("hints", browser.hinting and math.max(browser.hinting.count, 0) or 0)
  local crashed = {}
  for i, t in ipairs(browser.tabs) do if t.crashed then crashed[#crashed + 1] = i end end
  add("crashed", table.concat(crashed, " "))
  local unresponsive = {}
  for i, t in ipairs(browser.tabs) do if t.unresponsive then unresponsive[#unresponsive + 1] = i end end
  add("unresponsive", table.concat(unresponsive, " "))
  for i, t in ipairs(browser.tabs) do add("tabprogress", i .. " " .. (t.progress or 0)) end
  add("zoom", browser.zoom())
  add("bookmarks", #browser.favorites)
  for _, f in ipairs(browser.favorites) do add("bookmark", (f.title or "") .. "\t" .. (f.url or "")) end
  add("bar", table.concat(view.bar_labels, "|"))
  add("home", browser.home_page())
  add("restore", browser.restore_setting())
  add("session", #browser.last_session())
  add("sessionbar", c.session_bar.Visible() and 1 or 0)
  add("closed", #browser.closed)
  for _, e in ipairs(browser.closed) do add("closedtab", e.name or "") end
  add("dialog", view.dialog)
  add("focused", view.focused and 1 or 0)
  add("dialogfocus", view.dialog_focused and 1 or 0)
  add("menu", view.menu_open and 1 or 0)
  add("address", c.address.Text())
  add("addressfocus", c.address.HasFocus() and 1 or 0)
  add("saved", browser.saves[1] or "")
  add("status", view.status)
  add("order", c.tabs.Order())
  add("tabtitle", tab and c.tabs.TitleGeometry(tab.id) or "")
  for i, t in ipairs(browser.tabs) do add("tabrect", i .. " " .. c.tabs.TitleGeometry(t.id)) end
  add("menubutton", c.menu_button.Geometry())
  add("sessionreopen", c.session_reopen.Geometry())
  add("pagearea", c.page.Geometry())
  add("pagefocus", c.page.HasFocus() and 1 or 0)
  add("findfocus", c.find_entry.HasFocus() and 1 or 0)
  add("zoomshown", c.zoom.Visible() and c.zoom.Label() or "")
  add("window", c.window.Geometry())
  add("windowsize", c.window.Size())
  add("strip", c.tabs.Geometry())
  add("newtab", c.new_tab.Geometry())
  add("stripscroll", c.tabs.ScrollOffset())
  add("barmenu", view.bar_menu_open and 1 or 0)
  add("menukeys", view.menu_keys or "")
  add("pageerror", c.error_page.Visible() and c.error_reason.Text() or "")
  add("errorretry", c.error_retry.Geometry())
  add("hangbar", c.hang_bar.Visible() and c.hang_label.Text() or "")
  add("hangstop", c.hang_stop.Geometry())
  for i, b in ipairs(c.bar_buttons) do
    if b.Visible() then add("barbutton", i .. " " .. b.Geometry()) end
  end
  state.write(lines)
end

return state
