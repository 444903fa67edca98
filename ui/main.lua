-- The default user interface: a terminal program. A numbered tab strip with titles, load
-- progress and the current address; commands typed at the prompt; events redraw the screen.
package.path = (debug.getinfo(1, "S").source:match("^@(.*/)") or "./") .. "?.lua;" .. package.path
local browser = require("browser")
local tm = browser.tm

local help = [[
commands:
  open URL        open a tab            tab N          switch to tab N
  close [N]       close a tab           closed         recently closed tabs
  restore N       reopen closed tab N   go URL|WORDS   go to an address or search
  back  forward  stop  reload  home     search WORDS   search with the default engine
  bookmark        bookmark this page    bookmarks      list bookmarks
  history         this tab's history    engines        search engines
  engine ID       choose the engine     zoom [N]       page zoom in percent
  text [N]        text size (0-4)       mute  unmute   page sound
  save html|image|pdf                   help  quit]]

local function clip(s, n)
  s = s or ""
  if #s <= n then return s end
  return s:sub(1, n - 1) .. "~"
end

local function draw()
  local out = {"\27[H\27[2J"}
  local strip = {}
  for i, tab in ipairs(browser.tabs) do
    local mark = tab.id == browser.current and "*" or " "
    local progress = (tab.progress or 0) < 100 and string.format(" %d%%", tab.progress or 0) or ""
    strip[#strip + 1] = string.format("%s[%d] %s%s", mark, i, clip(tab.title ~= "" and tab.title or tab.url, 24), progress)
  end
  out[#out + 1] = (#strip > 0 and table.concat(strip, "  ") or "(no tabs: open URL)") .. "\n"
  local current = browser.find(browser.current or 0)
  out[#out + 1] = "address: " .. (current and current.url or "") .. "\n"
  out[#out + 1] = string.rep("-", 60) .. "\n"
  for _, line in ipairs(browser.messages) do out[#out + 1] = line .. "\n" end
  out[#out + 1] = "> "
  io.write(table.concat(out))
  io.flush()
end

local function list(title, items, format)
  browser.say(title .. (#items == 0 and ": none" or ":"))
  for i, item in ipairs(items) do browser.say(string.format("  %d. %s", i, format(item))) end
end

local commands = {}
commands.help = function() for line in help:gmatch("[^\n]+") do browser.say(line) end end
commands.open = function(arg) browser.open(browser.address(arg ~= "" and arg or host.home)) end
commands.tab = function(arg) browser.select(tonumber(arg)) end
commands.close = function(arg) browser.close(tonumber(arg)) end
commands.closed = function() list("recently closed", browser.closed, function(e) return e.name end) end
commands.restore = function(arg) browser.restore(tonumber(arg)) end
commands.go = function(arg) browser.navigate(arg) end
commands.search = function(arg) browser.navigate(browser.search_url(arg)) end
commands.back = function() browser.command("GoBack") end
commands.forward = function() browser.command("GoForward") end
commands.stop = function() browser.command("Stop") end
commands.reload = function() browser.command("Refresh") end
commands.home = function() browser.command("Home") end
commands.bookmark = function() browser.bookmark() end
commands.bookmarks = function() tm.GetAllFavoriteItems() browser.say("asking for bookmarks...") end
commands.history = function() browser.command("GetNavigateHistory") end
commands.engines = function()
  list("search engines", browser.engines, function(e)
    return string.format("%s %s%s", e.id, e.name, e.default == "true" and " (default)" or "")
  end)
end
commands.engine = function(arg) tm.SetDefaultSearch(arg) browser.say("default engine: " .. arg) end
commands.zoom = function(arg)
  if arg == "" then return browser.say("zoom: " .. tm.GetWebZoom(browser.current or 0) .. "%") end
  tm.SetWebZoom(browser.current or 0, tonumber(arg) or 100)
end
commands.text = function(arg)
  if arg == "" then return browser.say("text size: " .. tm.GetTextSize(browser.current or 0)) end
  browser.command("SetTextSize", tonumber(arg) or 2)
end
commands.mute = function() browser.command("EnableAudio", false) end
commands.unmute = function() browser.command("EnableAudio", true) end
commands.save = function(arg)
  local what = {html = "SaveWeb", image = "SaveWebToImage", pdf = "Print"}
  if not what[arg] then return browser.say("save html, save image or save pdf") end
  if browser.command(what[arg]) then browser.say("saving to " .. host.profile .. "/downloads") end
end
commands.quit = function() browser.say("closing tabs...") host.quit(0) end
commands.o, commands.q, commands.b, commands.f = commands.open, commands.quit, commands.back, commands.forward

table.insert(browser.listeners, function(kind, key, data)
  if kind == "data" and key == "GetAllFavoriteItems" then
    list("bookmarks", browser.favorites, function(f) return f.title .. "  " .. f.url end)
  elseif kind == "data" and key == "GetNavigateHistory" then
    list("history", browser.history, function(h) return (h.current == "true" and "> " or "  ") .. h.name .. "  " .. h.url end)
  elseif kind == "data" and key == "ImportIEFavorite" then
    browser.say("favourites imported")
  end
  draw()
end)

function OnStart()
  tm.GetAllSearchLists()
  tm.GetRecoverLists()
  browser.say("uicontrol shell. Type help for the commands.")
  browser.open(host.home)
  draw()
end

function OnTabNotify(id, key, value) browser.on_tab(id, key, value) end
function OnDataNotify(key, data) browser.on_data(key, data) end

function OnInput(line)
  if line == nil then return host.quit(0) end
  local name, arg = line:match("^%s*(%S*)%s*(.-)%s*$")
  if name == "" then return draw() end
  local command = commands[name]
  if not command then
    browser.say("unknown command: " .. name .. " (type help)")
  else
    local ok, err = pcall(command, arg)
    if not ok then browser.say("error: " .. tostring(err):match("^[^\n]*")) end
  end
  draw()
end
