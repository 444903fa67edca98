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
local pager = require("shell.pager")
local loading = require("shell.loading")
require("model.remote")(browser)  -- commands from other programs

-- What the model tells that the screen shows as a list.
local answers = 0  -- lists and messages so far (the end of the input waits for them)
local function on_change(kind, key, data)
  if kind == "data" or kind == "message" then answers = answers + 1 end
  if kind == "message" then return screen.message(key) end  -- shown with the next drawing
  if kind == "data" and key == "GetAllFavoriteItems" and commands.listing_bookmarks then
    commands.listing_bookmarks = nil
    screen.list("bookmarks", browser.favorites, function(f) return browser.clean(f.title) .. "  " .. browser.clean(f.url) end)
  elseif kind == "data" and key == "GetNavigateHistory" and commands.history_pick then
    local n = commands.history_pick
    commands.history_pick = nil
    commands.open_history(n)
  elseif kind == "data" and key == "GetNavigateHistory" then
    screen.list("history", browser.history, function(h)
      return (h.current == "true" and "> " or "  ") .. browser.clean(h.name) .. "  " .. browser.clean(h.url)
    end)
  elseif kind == "data" and key == "ImportIEFavorite" then
    browser.say("favourites imported")
  elseif kind == "tab" and data == "PAGEUNRESPONSIVE" then
    local tab, index = browser.find(key)
    if tab and tab.unresponsive then browser.say(string.format("kill %d ends it", index)) end
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
  elseif outcome == "offered" or outcome == "offered after a crash" then
    browser.say(string.format("the last run %s %d %s open: type session to reopen %s",
                              outcome == "offered" and "left" or "ended unexpectedly with", count, tabs,
                              count == 1 and "it" or "them"))
  elseif outcome == "listed after repeated crashes" then
    browser.say("the last run ended unexpectedly soon after reopening its tabs; they are not reopened again.")
    for i, t in ipairs(browser.last_session()) do
      browser.say(string.format("  %d %s", i, browser.clean(t.title ~= "" and t.title or t.url)))
    end
    browser.say("session N reopens tab N, session all of them")
  end
  screen.draw()
end

function OnComplete(word, before) return complete(word, before) end
function OnTabNotify(id, key, value) browser.on_tab(id, key, value) end
function OnDataNotify(key, data) browser.on_data(key, data) end

function OnQuit() pager.close() end

function OnError(text)
  browser.say(text)
  screen.draw()
end

-- At the end of the input the shell quits once no command waits and no answer has come
-- for a moment (a list asked for is shown first).
local function quit_when_quiet()
  local seen = answers
  host.after(300, function()
    if loading.busy() or answers ~= seen then return quit_when_quiet() end
    host.quit(0)
  end)
end

local function run_line(line)
  if line == nil then return quit_when_quiet() end
  local took, instead = pager.input(line)
  if took then return end
  line = instead or line
  screen.command(line)
  commands.run(line)
  screen.draw()
end

-- Lines read from a file or a pipe wait while a command waits for its page, so that
-- each runs on the page the lines before it asked for (false stands for the end).
local queued = {}
loading.on_idle = function()
  while #queued > 0 and not loading.busy() do
    local line = table.remove(queued, 1)
    run_line(line or nil)
  end
end

function OnInput(line)
  if not host.interactive and (loading.busy() or #queued > 0) then
    queued[#queued + 1] = line or false
    return
  end
  run_line(line)
end
