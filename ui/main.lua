-- The default user interface: a terminal program. A numbered tab strip with titles, load
-- progress and the current address; commands typed at the prompt; events redraw the screen.
-- Pages are read as text a screen at a time (read, links, follow, find, source).
package.path = (debug.getinfo(1, "S").source:match("^@(.*/)") or "./") .. "?.lua;" .. package.path
local browser = require("browser")
local reader = require("reader")
local tm = browser.tm

local function clip(s, n)
  s = s or ""
  if reader.width(s) <= n then return s end
  return reader.head(s, n - 1) .. "~"
end

-- ---------------------------------------------------------------- the screen

local pager = nil  -- {lines, at, title} while a text is shown a screen at a time

local function size()
  local columns, rows = host.terminal_size()
  return math.max(columns, 20), math.max(rows, 5)
end

local function draw()
  if pager then return end  -- the text being read stays on the screen
  local columns = size()
  local out = {"\27[H\27[2J"}
  local strip = {}
  for i, tab in ipairs(browser.tabs) do
    local mark = tab.id == browser.current and "*" or " "
    local state = tab.crashed and " (crashed)" or (tab.progress or 0) < 100 and string.format(" %d%%", tab.progress or 0) or ""
    strip[#strip + 1] = string.format("%s[%d] %s%s", mark, i, clip(tab.title ~= "" and tab.title or tab.url, 24), state)
  end
  out[#out + 1] = (#strip > 0 and table.concat(strip, "  ") or "(no tabs: open URL)") .. "\n"
  local current = browser.find(browser.current or 0)
  out[#out + 1] = "address: " .. (current and current.url or "") .. "\n"
  out[#out + 1] = string.rep("-", math.min(columns, 60)) .. "\n"
  local _, rows = size()
  for i = math.max(1, #browser.messages - (rows - 5)), #browser.messages do out[#out + 1] = browser.messages[i] .. "\n" end
  if not host.interactive then out[#out + 1] = "> " end
  io.write(table.concat(out))
  io.flush()
end

local function show_page()
  local columns, rows = size()
  local height = rows - 1
  local out = {"\27[H\27[2J"}
  for i = pager.at, math.min(pager.at + height - 1, #pager.lines) do out[#out + 1] = pager.lines[i] .. "\n" end
  pager.at = pager.at + height
  io.write(table.concat(out))
  io.flush()
  if pager.at > #pager.lines then
    host.prompt("-- end of " .. clip(pager.title, columns - 30) .. " (Enter: back) -- ")
  else
    local percent = math.floor((pager.at - 1) * 100 / #pager.lines)
    host.prompt(string.format("-- more %d%% (space or Enter: more, q: stop) -- ", percent))
  end
  if not host.interactive then io.write(host.interactive and "" or "-- more --\n") io.flush() end
end

-- Shows `lines` a screen at a time.
local function page(lines, title)
  if #lines == 0 then return browser.say(title .. ": nothing to show") end
  pager = {lines = lines, at = 1, title = title}
  host.pager(true)
  show_page()
end

local function end_page()
  pager = nil
  host.pager(false)
  host.prompt("> ")
end

local function list(title, items, format)
  browser.say(title .. (#items == 0 and ": none" or ":"))
  for i, item in ipairs(items) do browser.say(string.format("  %d. %s", i, format(item))) end
end

-- ---------------------------------------------------------------- commands

local commands, order = {}, {}

-- A command: its names (the first is the one help shows first), its arguments as help
-- shows them, what it does, and the function that runs it with the argument text.
local function command(names, args, does, run)
  local entry = {names = names, args = args, does = does, run = run}
  order[#order + 1] = entry
  for _, name in ipairs(names) do commands[name] = entry end
end

local function usage(entry)
  browser.say("usage: " .. entry.names[1] .. (entry.args ~= "" and " " .. entry.args or "") .. "  (" .. entry.does .. ")")
end

-- A whole number from `low` to `high`, or nil.
local function number(text, low, high)
  if not text:match("^%d+$") then return nil end
  local n = tonumber(text)
  if n < low or n > high then return nil end
  return n
end

local function current_tab()
  local tab, index = browser.find(browser.current or 0)
  if not tab then browser.say("no tab open") end
  return tab, index
end

local function no_argument(fn)
  return function(arg, entry)
    if arg ~= "" then return usage(entry) end
    return fn()
  end
end

local function show_text(tab)
  local columns = size()
  local text = tab.text
  local lines = reader.layout(text.lines, columns)
  if text.cut then lines[#lines + 1] = "(the page is longer; its text was cut)" end
  page(lines, browser.clean(text.title ~= "" and text.title or tab.url))
end

local function show_links(tab)
  local links = tab.text.links
  if #links == 0 then return browser.say("this page has no links") end
  local lines = {}
  for i, url in ipairs(links) do lines[#lines + 1] = string.format("[%d] %s", i, browser.clean(url)) end
  page(lines, "links of " .. browser.clean(tab.title))
end

local finding = nil  -- {words, count, at}: the last search of the current page

-- The n-th match of `words` in the page's text, as the line that holds it.
local function match_line(tab, words, n)
  if not tab.text then return nil end
  local needle, seen = words:lower(), 0
  for _, entry in ipairs(tab.text.lines) do
    local text = (entry:match("^%w+:(.*)$") or entry):lower()
    local from = 1
    while true do
      local at = text:find(needle, from, true)
      if not at then break end
      seen = seen + 1
      if seen == n then return entry:match("^%w+:(.*)$") or entry end
      from = at + #needle
    end
  end
end

local function report_match(tab)
  local f = finding
  if f.count == 0 then return browser.say("no match for \"" .. f.words .. "\"") end
  local line = match_line(tab, f.words, f.at)
  browser.say(string.format("match %d of %d for \"%s\"", f.at, f.count, f.words) ..
              (f.at == 1 and string.format(" (%d match%s)", f.count, f.count == 1 and "" or "es") or ""))
  if line then browser.say("  " .. clip(browser.clean(line), size() - 2)) end
end

local function find(words)
  local tab = current_tab()
  if not tab then return end
  -- The same words again (or none) go on to the next match, as a find bar's Enter does.
  if finding and finding.id == tab.id and not finding.waiting and (words == "" or words == finding.words) then
    words = ""
  end
  if words == "" then
    if not finding or finding.id ~= tab.id then return browser.say("usage: find WORDS  (then find alone for the next match)") end
    words = finding.words
    finding.at = finding.count > 0 and finding.at % finding.count + 1 or 0
  else
    finding = {id = tab.id, words = words, at = 1, waiting = true}
  end
  if not host.order(tab.id, "CMD=FIND\nTEXT=" .. words .. "\n") then return browser.say("this page cannot be searched") end
  if not tab.text then browser.want_text(tab.id, function() end) end
end

command({"open", "o"}, "[URL]", "open a tab (the home page without URL)", function(arg)
  browser.open(browser.address(arg ~= "" and arg or host.home))
end)
command({"tab", "t"}, "N", "switch to tab N", function(arg, entry)
  local n = number(arg, 1, math.max(#browser.tabs, 1))
  if not n or not browser.tabs[n] then return usage(entry) end
  browser.select(n)
end)
command({"close", "c"}, "[N]", "close the current tab or tab N", function(arg, entry)
  if arg == "" then return browser.close() end
  local n = number(arg, 1, math.max(#browser.tabs, 1))
  if not n or not browser.tabs[n] then return usage(entry) end
  browser.close(n)
end)
command({"closed"}, "", "recently closed tabs", no_argument(function()
  list("recently closed", browser.closed, function(e) return browser.clean(e.name) end)
end))
command({"restore"}, "N", "reopen closed tab N", function(arg, entry)
  local n = number(arg, 1, math.max(#browser.closed, 1))
  if not n or not browser.closed[n] then return usage(entry) end
  browser.restore(n)
end)
command({"session"}, "[always|ask]", "reopen the tabs of the last run; always/ask: at every start", function(arg, entry)
  if arg == "always" or arg == "ask" then
    local file = io.open(host.profile .. "/restore-tabs", "w")
    if file then file:write(arg, "\n") file:close() end
    return browser.say(arg == "always" and "the last run's tabs open at every start" or "the last run's tabs are offered at start")
  end
  if arg ~= "" then return usage(entry) end
  if #host.session == 0 then return browser.say("no tabs of the last run to reopen") end
  local tabs = host.session
  host.session = {}
  for _, t in ipairs(tabs) do browser.reopen(t.uuid, t.title ~= "" and t.title or t.url) end
end)
command({"go", "g"}, "URL|WORDS", "go to an address or search", function(arg, entry)
  if arg == "" then return usage(entry) end
  browser.navigate(arg)
end)
command({"search", "s"}, "WORDS", "search with the default engine", function(arg, entry)
  if arg == "" then return usage(entry) end
  local url = browser.search_url(arg)
  if browser.current then browser.command("Navigate", url) else browser.open(url) end
end)
command({"back", "b"}, "", "previous page", no_argument(function() browser.command("GoBack") end))
command({"forward", "f"}, "", "next page", no_argument(function() browser.command("GoForward") end))
command({"stop"}, "", "stop loading", no_argument(function() browser.command("Stop") end))
command({"reload"}, "", "load the page again (also brings a crashed tab back)", no_argument(function()
  browser.command("Refresh")
end))
command({"home"}, "", "the home page", no_argument(function() browser.command("Home") end))
command({"read", "r"}, "", "the page's text, a screen at a time", no_argument(function()
  local tab = current_tab()
  if tab then browser.want_text(tab.id, show_text) end
end))
command({"links", "l"}, "", "the page's links, numbered", no_argument(function()
  local tab = current_tab()
  if tab then browser.want_text(tab.id, show_links) end
end))
command({"follow"}, "N [new]", "open link N here, or in a new tab", function(arg, entry)
  local n, new = arg:match("^(%d+)%s*(%a*)$")
  if not n or (new ~= "" and new ~= "new") then return usage(entry) end
  local tab = current_tab()
  if not tab then return end
  browser.want_text(tab.id, function(t)
    local url = t.text.links[tonumber(n)]
    if not url then return browser.say("no link " .. n .. " (this page has " .. #t.text.links .. ")") end
    if new == "new" then browser.open(url) else browser.command("Navigate", url) end
    draw()
  end)
end)
command({"find", "/"}, "[WORDS]", "count the matches of WORDS; find alone: the next match", function(arg)
  find(arg)
end)
command({"source"}, "", "the page's source, a screen at a time", no_argument(function()
  local tab = current_tab()
  if tab then
    browser.want_text(tab.id, function(t)
      local lines = {}
      local columns = size()
      for _, l in ipairs(t.source) do
        if l == "" then lines[#lines + 1] = "" end
        while l ~= "" do
          local part = reader.wrap(l:gsub("%s", " "), columns)[1] or ""
          if part == "" then break end
          lines[#lines + 1] = part
          l = l:sub(#part + 1):gsub("^%s+", "")
        end
      end
      page(lines, "source of " .. browser.clean(t.title))
    end, "SOURCE")
  end
end))
command({"bookmark"}, "", "bookmark this page", no_argument(function() browser.bookmark() end))
command({"bookmarks"}, "[open N|delete N]", "list bookmarks, open or delete one", function(arg, entry)
  if arg == "" then
    tm.GetAllFavoriteItems()
    browser.listing_bookmarks = true
    return browser.say("asking for bookmarks...")
  end
  local what, n = arg:match("^(%a+)%s+(%d+)$")
  local item = n and browser.favorites[tonumber(n)]
  if not item or (what ~= "open" and what ~= "delete") then return usage(entry) end
  if what == "open" then return browser.open(item.url) end
  if not item.id or not tm.DeleteFavoriteItem(item.id) then return browser.say("could not delete bookmark " .. n) end
  table.remove(browser.favorites, tonumber(n))
  tm.GetAllFavoriteItems()
  browser.say("deleted bookmark " .. n .. ": " .. browser.clean(item.url))
end)
command({"history", "h"}, "", "this tab's history", no_argument(function()
  browser.command("GetNavigateHistory")
end))
command({"engines"}, "", "search engines", no_argument(function()
  list("search engines", browser.engines, function(e)
    return string.format("%s %s%s", e.id, browser.clean(e.name), e.default == "true" and " (default)" or "")
  end)
end))
command({"engine"}, "ID", "choose the default search engine (engines lists them)", function(arg, entry)
  local chosen
  for _, e in ipairs(browser.engines) do if e.id == arg then chosen = e end end
  if not chosen then return usage(entry) end
  if not tm.SetDefaultSearch(arg) then return browser.say("could not choose engine " .. arg) end
  browser.say("default engine: " .. arg .. " " .. browser.clean(chosen.name))
  tm.GetAllSearchLists()
end)
command({"zoom", "z"}, "[25-500]", "page zoom in percent (every tab)", function(arg, entry)
  if arg == "" then return browser.say("zoom: " .. tm.GetWebZoom(browser.current or 0) .. "%") end
  local n = number(arg, 25, 500)
  if not n then return usage(entry) end
  if not tm.SetWebZoom(browser.current or 0, n) then browser.say("zoom " .. n .. " was refused") end
end)
command({"text"}, "[0-4]", "text size: 0 smallest, 2 normal, 4 largest", function(arg, entry)
  if arg == "" then
    if not current_tab() then return end
    return browser.say("text size: " .. tm.GetTextSize(browser.current))
  end
  local n = number(arg, 0, 4)
  if not n then return usage(entry) end
  if browser.command("SetTextSize", n) then browser.say("text size: " .. n) end
end)
command({"mute"}, "", "silence the page", no_argument(function() browser.command("EnableAudio", false) end))
command({"unmute"}, "", "let the page play sound", no_argument(function() browser.command("EnableAudio", true) end))
command({"save"}, "html|image|pdf", "save the page into the profile's downloads", function(arg, entry)
  local what = {html = "SaveWeb", image = "SaveWebToImage", pdf = "Print"}
  if not what[arg] then return usage(entry) end
  if browser.command(what[arg]) then browser.say("saving to " .. host.profile .. "/downloads ...") end
end)
command({"help", "?"}, "", "this list", no_argument(function()
  local lines = {"commands: (aliases after a comma)"}
  local columns = size()
  for _, e in ipairs(order) do
    local name = table.concat(e.names, ", ") .. (e.args ~= "" and " " .. e.args or "")
    lines[#lines + 1] = clip(string.format("  %-27s %s", name, e.does), columns)
  end
  page(lines, "help")
end))
command({"quit", "q", "exit"}, "", "close the tabs (kept for the next start) and exit", no_argument(function()
  browser.say("closing tabs...")
  host.quit(0)
end))

-- ---------------------------------------------------------------- completion

local function add_matching(out, seen, word, candidate)
  if candidate and candidate ~= "" and not seen[candidate] and candidate:sub(1, #word) == word then
    seen[candidate] = true
    out[#out + 1] = candidate
  end
end

-- Completions of `word`: command names first, then what the command takes.
function OnComplete(word, before)
  local out, seen = {}, {}
  local name = before:match("^%s*(%S+)%s+$")
  if before:match("^%s*$") then
    for _, e in ipairs(order) do for _, n in ipairs(e.names) do if #n > 1 then add_matching(out, seen, word, n) end end end
  elseif name == "tab" or name == "t" or name == "close" or name == "c" then
    for i = 1, #browser.tabs do add_matching(out, seen, word, tostring(i)) end
  elseif name == "restore" then
    for i = 1, #browser.closed do add_matching(out, seen, word, tostring(i)) end
  elseif name == "save" then
    for _, k in ipairs({"html", "image", "pdf"}) do add_matching(out, seen, word, k) end
  elseif name == "bookmarks" then
    for _, k in ipairs({"open", "delete"}) do add_matching(out, seen, word, k) end
  elseif name == "engine" then
    for _, e in ipairs(browser.engines) do add_matching(out, seen, word, e.id) end
  elseif name == "open" or name == "o" or name == "go" or name == "g" then
    local urls = {}
    for _, f in ipairs(browser.favorites) do urls[#urls + 1] = f.url end
    for _, e in ipairs(browser.closed) do urls[#urls + 1] = e.url end
    for _, h in ipairs(browser.history) do urls[#urls + 1] = h.url end
    for _, t in ipairs(browser.tabs) do urls[#urls + 1] = t.url end
    for url in pairs(browser.visited) do urls[#urls + 1] = url end
    -- Addresses typed in earlier runs, from the line editor's history.
    local typed = io.open(host.profile .. "/command-history", "r")
    if typed then
      for line in typed:lines() do
        local verb, address = line:match("^%s*(%a+)%s+(%S+)%s*$")
        if verb == "open" or verb == "o" or verb == "go" or verb == "g" then urls[#urls + 1] = address end
      end
      typed:close()
    end
    table.sort(urls)
    for _, url in ipairs(urls) do
      add_matching(out, seen, word, url)
      -- "news" finds http://host/news.html too: the address without its scheme.
      add_matching(out, seen, word, url:match("^%a+://(.*)$"))
    end
  end
  return out
end

-- ---------------------------------------------------------------- events and input

table.insert(browser.listeners, function(kind, key, data, value)
  if kind == "data" and key == "GetAllFavoriteItems" and browser.listing_bookmarks then
    browser.listing_bookmarks = nil
    list("bookmarks", browser.favorites, function(f) return browser.clean(f.title) .. "  " .. browser.clean(f.url) end)
  elseif kind == "data" and key == "GetNavigateHistory" then
    list("history", browser.history, function(h)
      return (h.current == "true" and "> " or "  ") .. browser.clean(h.name) .. "  " .. browser.clean(h.url)
    end)
  elseif kind == "data" and key == "ImportIEFavorite" then
    browser.say("favourites imported")
  elseif kind == "tab" and data == "FINDRESULT" and finding and finding.id == key then
    local values = browser.values(value)
    finding.count = tonumber(values.COUNT or "0", 16) or 0
    if finding.waiting then
      finding.waiting = nil
      finding.at = 1
    end
    local tab = browser.find(key)
    if tab and tab.text then report_match(tab) else browser.want_text(key, report_match) end
  end
  draw()
end)

local function restore_setting()
  local file = io.open(host.profile .. "/restore-tabs", "r")
  if not file then return "ask" end
  local value = file:read("*l")
  file:close()
  return value
end

function OnStart()
  tm.GetAllSearchLists()
  tm.GetRecoverLists()
  tm.GetAllFavoriteItems()
  host.prompt("> ")
  browser.say("uicontrol shell. Type help for the commands.")
  local last = host.session
  if #last > 0 and (host.restore or restore_setting() == "always") then
    host.session = {}
    for _, t in ipairs(last) do browser.reopen(t.uuid, t.title ~= "" and t.title or t.url) end
    browser.say(string.format("reopened %d tab%s of the last run", #last, #last == 1 and "" or "s"))
  else
    if #last > 0 then
      browser.say(string.format("the last run left %d tab%s open: type session to reopen %s", #last,
                                #last == 1 and "" or "s", #last == 1 and "it" or "them"))
    end
    browser.open(host.home)
  end
  draw()
end

function OnTabNotify(id, key, value) browser.on_tab(id, key, value) end
function OnDataNotify(key, data) browser.on_data(key, data) end

function OnError(text)
  browser.say(text)
  draw()
end

function OnInput(line)
  if line == nil then return host.quit(0) end
  if pager then
    local answer = line:match("^%s*(.-)%s*$")
    if answer == "" and pager.at <= #pager.lines then return show_page() end
    end_page()
    if answer == "" or answer == "q" then return draw() end
  end
  local name, arg = line:match("^%s*(%S*)%s*(.-)%s*$")
  if name == "" then return draw() end
  local entry = commands[name]
  if not entry then
    browser.say("unknown command: " .. name .. " (type help)")
  else
    local ok, err = pcall(entry.run, arg, entry)
    if not ok then browser.say("error in " .. name .. ": " .. tostring(err)) end
  end
  draw()
end
