-- Editing bookmarks: the edit dialog (Ctrl+D on a bookmarked page, the menu, the bar's
-- context menu) renames a bookmark, changes its address or deletes it; the bar's context
-- menu opens, edits or deletes the bookmark under the pointer.
local browser = require("browser")
local widgets = require("widgets")
local view = require("view")

local bookmarks = {editing = nil}

-- The number of the current page's bookmark (nil when the page has none).
function bookmarks.of_current()
  local tab = view.current_tab()
  if not tab then return nil end
  for i, f in ipairs(browser.favorites) do
    if f.url == tab.url then return i end
  end
end

function bookmarks.build(c)
  c.edit_dialog = ui.dialog("Edit bookmark")
  local form = ui.box(true, 6)
  form.Add(ui.label("Name"), false)
  c.edit_title = ui.entry()
  c.edit_title.SetSize(360, -1)
  c.edit_title.SetActivatesDefault(true)
  form.Add(c.edit_title, false)
  form.Add(ui.label("Address"), false)
  c.edit_url = ui.entry()
  c.edit_url.SetActivatesDefault(true)
  form.Add(c.edit_url, false)
  c.edit_dialog.SetContent(form)
  c.edit_dialog.AddButton("Delete", "delete", false)
  c.edit_dialog.AddButton("Cancel", "cancel", false)
  c.edit_dialog.AddButton("Save", "save", true)
  c.bar_menu = ui.menu()
end

function bookmarks.edit(n)
  local f = browser.favorites[n]
  if not f then return false end
  local c = view.c
  bookmarks.editing = f
  c.edit_title.SetText(browser.clean(f.title or ""))
  c.edit_url.SetText(browser.clean(f.url or ""))
  c.edit_dialog.Show()
  c.edit_title.SelectAll()
  view.dialog = "edit-bookmark"
  return true
end

-- The bookmark the dialog shows, by its place now (the list may have changed meanwhile).
local function editing_index()
  for i, f in ipairs(browser.favorites) do
    if f == bookmarks.editing or (f.id and f.id == bookmarks.editing.id) then return i end
  end
end

local function answer(name)
  local c, n = view.c, bookmarks.editing and editing_index()
  view.dialog, bookmarks.editing = "none", nil
  if not n then return view.refresh() end
  if name == "save" then
    browser.change_bookmark(n, c.edit_title.Text(), c.edit_url.Text())
  elseif name == "delete" then
    browser.delete_bookmark(n)
  end
  view.bookmark_bar()
  view.refresh()
end

local bar_actions = {
  open = function(n) browser.open(browser.favorites[n].url) end,
  edit = function(n) bookmarks.edit(n) end,
  delete = function(n) browser.delete_bookmark(n) view.bookmark_bar() end,
}

function bookmarks.connect(c)
  widgets.on(c.edit_dialog, "response", answer)
  widgets.on(c.edit_dialog, "close", function() answer("cancel") end)
  widgets.on(c.edit_dialog, "focus", function(how)
    view.dialog_focused = how == "in"
    view.write_state()
  end)
  for i, b in ipairs(c.bar_buttons) do
    widgets.on(b, "context", function()
      if not browser.favorites[i] then return false end
      local m = c.bar_menu
      m.Clear()
      m.Add("Open in new tab", "open:" .. i)
      m.Add("Edit…", "edit:" .. i)
      m.Add("Delete", "delete:" .. i)
      m.PopupBelow(b)
      return true
    end)
  end
  widgets.on(c.bar_menu, "activate", function(action)
    local kind, n = action:match("^(%a+):(%d+)$")
    n = tonumber(n)
    if kind and bar_actions[kind] and browser.favorites[n] then bar_actions[kind](n) end
    view.refresh()
  end)
  widgets.on(c.bar_menu, "shown", function() view.bar_menu_open = true view.write_state() end)
  widgets.on(c.bar_menu, "hidden", function() view.bar_menu_open = false view.write_state() end)
end

return bookmarks
