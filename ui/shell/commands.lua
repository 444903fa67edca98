-- The terminal's commands: each has its names (the first is the one help shows first),
-- its arguments as help shows them, what it does, and the function that runs it with the
-- argument text. This file holds the registry and the commands on tabs, the session and
-- the store's lists; pagecommands.lua those on the current page.
local browser = require("browser")
local screen = require("shell.screen")
local loading = require("shell.loading")
local tm = browser.tm

local commands = {by_name = {}, order = {}}

function commands.add(names, args, does, run)
  local entry = {names = names, args = args, does = does, run = run}
  commands.order[#commands.order + 1] = entry
  for _, name in ipairs(names) do commands.by_name[name] = entry end
end

function commands.usage(entry)
  browser.say("usage: " .. entry.names[1] .. (entry.args ~= "" and " " .. entry.args or "") .. "  (" .. entry.does .. ")")
end

-- A whole number from `low` to `high`, or nil.
function commands.number(text, low, high)
  if not text:match("^%d+$") then return nil end
  local n = tonumber(text)
  if n < low or n > high then return nil end
  return n
end

function commands.no_argument(fn)
  return function(arg, entry)
    if arg ~= "" then return commands.usage(entry) end
    return fn()
  end
end

-- Runs a typed line.
function commands.run(line)
  local name, arg = line:match("^%s*(%S*)%s*(.-)%s*$")
  if name == "" then return end
  local entry = commands.by_name[name]
  if not entry then return browser.say("unknown command: " .. name .. " (type help)") end
  local ok, err = pcall(entry.run, arg, entry)
  if not ok then browser.say("error in " .. name .. ": " .. tostring(err)) end
end

local add, usage, number, no_argument = commands.add, commands.usage, commands.number, commands.no_argument

-- A tab or list number typed as an argument, checked against the list's length.
local function numbered(list, run)
  return function(arg, entry)
    local n = number(arg, 1, math.max(#list(), 1))
    if not n or not list()[n] then return usage(entry) end
    run(n)
  end
end
-- A tab number: a number beyond the tabs is named ("no tab 9 (2 open)").
local function tab_numbered(run)
  return function(arg, entry)
    if not arg:match("^%d+$") then return usage(entry) end
    local n = tonumber(arg)
    if not browser.tabs[n] then return browser.say(string.format("no tab %s (%d open)", arg, #browser.tabs)) end
    run(n)
  end
end

-- The address typed, or nil once the refusal is said.
local function typed_address(arg)
  local url, why = browser.address(arg)
  if not url then browser.say(why) end
  return url
end

add({"open", "o"}, "[URL]", "open a tab (the home page without URL)", function(arg)
  local url = arg == "" and browser.home_page() or typed_address(arg)
  if url then loading.expect(browser.open(url)) end
end)
add({"tab", "t"}, "N", "switch to tab N", tab_numbered(browser.select))
local close_numbered = tab_numbered(browser.close)
add({"close", "c"}, "[N]", "close the current tab or tab N", function(arg, entry)
  if arg == "" then return browser.close() end
  close_numbered(arg, entry)
end)
add({"closed"}, "", "recently closed tabs", no_argument(function()
  screen.list("recently closed", browser.closed, function(e) return browser.clean(e.name) end)
end))
add({"restore"}, "N", "reopen closed tab N", numbered(function() return browser.closed end, browser.restore))
add({"session"}, "[N|always|ask]", "reopen the tabs of the last run (or tab N of them); always/ask: at every start",
    function(arg, entry)
  if browser.set_restore_setting(arg) then
    return browser.say(arg == "always" and "the last run's tabs open at every start" or "the last run's tabs are offered at start")
  end
  if #browser.last_session() == 0 then return browser.say("no tabs of the last run to reopen") end
  if arg:match("^%d+$") then return browser.reopen_session_tab(tonumber(arg)) end
  if arg ~= "" then return usage(entry) end
  browser.reopen_session()
end)
add({"go", "g"}, "URL|WORDS", "go to an address or search", function(arg, entry)
  if arg == "" then return usage(entry) end
  local url = typed_address(arg)
  if not url then return end
  if not browser.current then return loading.expect(browser.open(url)) end
  if browser.command("Navigate", url) then loading.expect() end
end)
add({"search", "s"}, "WORDS", "search with the default engine", function(arg, entry)
  if arg == "" then return usage(entry) end
  local url = browser.search_url(arg)
  if not browser.current then return loading.expect(browser.open(url)) end
  if browser.command("Navigate", url) then loading.expect() end
end)
-- Back and forward say when there is no page that way. The tab's history may be told a
-- moment after a page loads, so the order is sent anyway when it tells none, and "none"
-- is said only when the page did not move within a few seconds.
local function step(order, flag, none)
  return no_argument(function()
    local id = browser.current
    local info = id and tm.FindTabInfo(id)
    if not browser.command(order) then return end
    loading.expect()
    local way = info and info[flag]
    if way ~= 0 and way ~= false then return end
    loading.unless_moved(id, none)
  end)
end
add({"back", "b"}, "", "previous page", step("GoBack", "bBackwardEnable", "no earlier page in this tab"))
add({"forward", "f"}, "", "next page", step("GoForward", "bForwardEnable", "no later page in this tab"))
add({"stop"}, "", "stop loading", no_argument(function()
  local tab = browser.find(browser.current or 0)
  local busy = tab and (tab.expected or (tab.progress or 0) < 100)
  if browser.command("Stop") then
    if tab then tab.expected = nil end
    browser.say(busy and "stopped loading" or "nothing to stop: the page has loaded")
  end
end))
add({"kill"}, "[N]", "end the page of this tab (or tab N), one that is not responding; reload brings it back",
  function(arg, entry)
    if arg ~= "" and not arg:match("^%d+$") then return usage(entry) end
    local tab = arg ~= "" and browser.tabs[tonumber(arg)]
    if arg ~= "" and not tab then
      return browser.say(string.format("no tab %s (%d open)", arg, #browser.tabs))
    end
    if browser.stop_page(tab and tab.id) then browser.say("ending the page...") end
  end)
add({"reload"}, "", "load the page again (also brings a crashed tab back)", no_argument(function()
  if browser.command("Refresh") then loading.expect() end
end))
add({"home"}, "", "the home page", no_argument(function()
  browser.go_home()
  loading.expect()
end))
local page_commands = require("shell.pagecommands")
page_commands.reading(commands)

add({"bookmark"}, "", "bookmark this page", no_argument(function() browser.bookmark() end))
add({"bookmarks"}, "[open N|delete N]", "list bookmarks, open or delete one", function(arg, entry)
  if arg == "" then
    tm.GetAllFavoriteItems()
    loading.await("GetAllFavoriteItems")
    commands.listing_bookmarks = true
    return browser.say("asking for bookmarks...")
  end
  local what, n = arg:match("^(%a+)%s+(%d+)$")
  local item = n and browser.favorites[tonumber(n)]
  if not item or (what ~= "open" and what ~= "delete") then return usage(entry) end
  if what == "open" then return browser.open(item.url) end
  browser.delete_bookmark(tonumber(n))
end)
add({"history", "h"}, "[N]", "this tab's history; history N opens its entry N", function(arg, entry)
  if arg ~= "" and not arg:match("^%d+$") then return usage(entry) end
  commands.history_pick = tonumber(arg)
  if browser.current and browser.command("GetNavigateHistory") ~= false then loading.await("GetNavigateHistory") end
end)
-- The answer to "history N": entry N opened in this tab.
function commands.open_history(n)
  local item = browser.history[n]
  if not item then return browser.say(string.format("no history entry %d (%d entries)", n, #browser.history)) end
  if browser.command("Navigate", item.url) then loading.expect() end
end
require("shell.engines").commands(commands)
add({"block"}, "[on|off] [SITE]", "content blocking on this page's site (or SITE): whether it is on, or turn it on or off",
  function(arg, entry)
    local what, site = arg:match("^(%a*)%s*(%S*)$")
    if not what or (what ~= "" and what ~= "on" and what ~= "off") then return usage(entry) end
    if site == "" then
      local tab = browser.find(browser.current or 0)
      site = tab and tab.url or ""
    end
    local on, name = host.blocking(site)
    if on == nil then return browser.say(site == "" and "no site: open a page or name one" or "no site: " .. browser.clean(site)) end
    if what == "" then
      local tab = browser.find(browser.current or 0)
      local count = tab and (tab.blocked or 0) > 0 and string.format(" (%d blocked on this page)", tab.blocked) or ""
      return browser.say("content blocking is " .. (on and "on" or "off") .. " for " .. name .. count)
    end
    local ok, why = host.set_blocking(site, what == "on")
    if not ok then return browser.say(browser.clean(why or "refused")) end
    browser.say("content blocking " .. what .. " for " .. name .. " (reload to apply to the open page)")
  end)

page_commands.settings(commands)

add({"help", "?"}, "", "this list", no_argument(function()
  local lines = {"commands: (aliases after a comma)"}
  local columns = screen.size()
  for _, e in ipairs(commands.order) do
    local name = table.concat(e.names, ", ") .. (e.args ~= "" and " " .. e.args or "")
    lines[#lines + 1] = screen.clip(string.format("  %-27s %s", name, e.does), columns)
  end
  screen.page(lines, "help")
end))
add({"quit", "q", "exit"}, "", "close the tabs (kept for the next start) and exit", no_argument(function()
  browser.say("closing tabs...")
  host.quit(0)
end))

return commands
