-- The default user interface: a terminal program. A numbered tab strip with titles, load
-- progress and the current address; commands typed at the prompt; events redraw the screen.
-- Pages are read as text a screen at a time (read, links, follow, find, source). The
-- model is browser.lua; the screen, commands and completion are in shell/.
package.path = (debug.getinfo(1, "S").source:match("^@(.*/)") or "./") .. "?.lua;" .. package.path
local browser = require("browser")
local screen = require("shell.screen")
local commands = require("shell.commands")
local page_commands = require("shell.pagecommands")
local complete = require("shell.complete")
require("model.remote")(browser)  -- commands from other programs

-- What the model tells that the screen shows as a list.
local function on_change(kind, key, data)
  if kind == "message" then return end  -- shown with the next drawing
  if kind == "data" and key == "GetAllFavoriteItems" and commands.listing_bookmarks then
    commands.listing_bookmarks = nil
    screen.list("bookmarks", browser.favorites, function(f) return browser.clean(f.title) .. "  " .. browser.clean(f.url) end)
  elseif kind == "data" and key == "GetNavigateHistory" then
    screen.list("history", browser.history, function(h)
      return (h.current == "true" and "> " or "  ") .. browser.clean(h.name) .. "  " .. browser.clean(h.url)
    end)
  elseif kind == "data" and key == "ImportIEFavorite" then
    browser.say("favourites imported")
  elseif kind == "find" and key ~= 0 then
    local tab = browser.find(key)
    if tab and tab.text then page_commands.report_match(tab) else browser.want_text(key, page_commands.report_match) end
  end
  screen.draw()
end
table.insert(browser.listeners, on_change)

function OnStart()
  host.prompt("> ")
  browser.say("uicontrol shell. Type help for the commands.")
  local outcome, count = browser.start()
  local tabs = count == 1 and "tab" or "tabs"
  if outcome == "reopened" then
    browser.say(string.format("reopened %d %s of the last run", count, tabs))
  elseif outcome == "offered" then
    browser.say(string.format("the last run left %d %s open: type session to reopen %s", count, tabs,
                              count == 1 and "it" or "them"))
  end
  screen.draw()
end

function OnComplete(word, before) return complete(word, before) end
function OnTabNotify(id, key, value) browser.on_tab(id, key, value) end
function OnDataNotify(key, data) browser.on_data(key, data) end

function OnError(text)
  browser.say(text)
  screen.draw()
end

function OnInput(line)
  if line == nil then return host.quit(0) end
  if screen.pager_input(line) then return end
  commands.run(line)
  screen.draw()
end
