-- The bar over the page of a tab whose page is not responding (a script that never
-- ends): "Stop page" ends its renderer, after which the page area offers "Reload" as for
-- a crashed page; "Wait" hides the bar until the page is reported again.
local browser = require("browser")
local noticebar = require("noticebar")
local widgets = require("widgets")

local hangbar = {}

-- Adds the bar's widgets to `c` (c.hang_bar, hidden); the caller places the bar.
function hangbar.build(c)
  c.hang_bar, c.hang_label, c.hang_stop, c.hang_wait = noticebar.build("hangbar", "Stop page", "Wait")
  return c.hang_bar
end

-- Shows the bar while the selected tab's page is not responding and the user has not
-- chosen to wait.
function hangbar.update(c)
  local tab = browser.current and browser.find(browser.current)
  if not (tab and tab.unresponsive and not tab.hang_waited) then return c.hang_bar.Hide() end
  c.hang_label.SetText(string.format("This page is not responding (no answer for %d s).", math.floor(tab.unresponsive)))
  c.hang_bar.Show()
end

function hangbar.connect(c, refresh)
  widgets.on(c.hang_stop, "clicked", function()
    browser.stop_page(browser.current)
    c.hang_bar.Hide()
    refresh()
  end)
  widgets.on(c.hang_wait, "clicked", function()
    local tab = browser.current and browser.find(browser.current)
    if tab then tab.hang_waited = true end
    c.hang_bar.Hide()
    refresh()
  end)
end

return hangbar
