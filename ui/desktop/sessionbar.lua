-- The session bar: a plain start offers the tabs the last run left open (the terminal
-- interface offers them with a line); "Reopen them" reopens them, "Not now" hides the
-- bar. With --restore or the setting "always" they came back by themselves.
local browser = require("browser")
local widgets = require("widgets")
local view = require("view")

local sessionbar = {}

function sessionbar.show(count)
  local c = view.c
  if count <= 0 then return c.session_bar.Hide() end
  c.session_label.SetText(string.format("The last run left %d tab%s open.", count, count == 1 and "" or "s"))
  c.session_bar.Show()
end

function sessionbar.connect()
  local c = view.c
  widgets.on(c.session_reopen, "clicked", function()
    c.session_bar.Hide()
    browser.reopen_session()
    view.refresh()
  end)
  widgets.on(c.session_dismiss, "clicked", function()
    c.session_bar.Hide()
    view.refresh()
  end)
end

return sessionbar
