-- The terminal's commands on the current page: reading its text, links and source a
-- screen at a time, finding words, and its zoom, text size, sound and saving.
local browser = require("browser")
local reader = require("reader")
local screen = require("shell.screen")
local loading = require("shell.loading")
local tm = browser.tm

local page_commands = {}

local function current_tab()
  local tab, index = browser.find(browser.current or 0)
  if not tab then browser.say("no tab open") end
  return tab, index
end

local function show_text(tab)
  local text = tab.text
  local lines = reader.layout(text.lines, (screen.size()))
  if text.cut then lines[#lines + 1] = "(the page is longer; its text was cut)" end
  screen.page(lines, browser.clean(text.title ~= "" and text.title or tab.url))
end

-- The text of each link: the words before its mark "[N]" back to the mark before it,
-- the start of its line or a separator (at most the last 8 words).
local separators = {["\194\183"] = true, ["\226\128\162"] = true, ["\226\128\148"] = true, ["\226\128\147"] = true}
function page_commands.link_texts(lines)
  local texts = {}
  for _, entry in ipairs(lines) do
    local text = entry:match("^%w+:(.*)$") or entry
    local from = 1
    for before, n, after in text:gmatch("()%[(%d+)%]()") do
      local words = text:sub(from, before - 1):match("([^|%(%)%[%]:;]*)$") or ""
      local list = {}
      for w in words:gmatch("%S+") do
        -- A word of signs alone (a dot, a bullet, a dash) separates links.
        if w:match("^%p+$") or separators[w] then list = {} else list[#list + 1] = w end
      end
      texts[tonumber(n)] = table.concat(list, " ", math.max(1, #list - 7))
      from = after
    end
  end
  return texts
end

local function show_links(tab)
  local links = tab.text.links
  if #links == 0 then return browser.say("this page has no links") end
  local texts = page_commands.link_texts(tab.text.lines)
  local lines = {}
  for i, url in ipairs(links) do
    local text = texts[i] and texts[i] ~= "" and texts[i] .. "  " or ""
    lines[#lines + 1] = string.format("[%d] %s%s", i, text, browser.clean(url))
  end
  screen.page(lines, "links of " .. browser.clean(tab.title))
end

local function show_source(t)
  local lines = {}
  local columns = screen.size()
  for _, l in ipairs(t.source) do
    if l == "" then lines[#lines + 1] = "" end
    while l ~= "" do
      local part = reader.wrap(l:gsub("%s", " "), columns)[1] or ""
      if part == "" then break end
      lines[#lines + 1] = part
      l = l:sub(#part + 1):gsub("^%s+", "")
    end
  end
  screen.page(lines, "source of " .. browser.clean(t.title))
end

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

-- The answer of a search, with the line of the match shown.
function page_commands.report_match(tab)
  local f = browser.finding
  if not f or f.id ~= tab.id then return end
  if f.count == 0 then return browser.say("no match for \"" .. f.words .. "\"") end
  local line = match_line(tab, f.words, f.at)
  browser.say(string.format("match %d of %d for \"%s\"", f.at, f.count, f.words) ..
              (f.at == 1 and string.format(" (%d match%s)", f.count, f.count == 1 and "" or "es") or ""))
  if line then browser.say("  " .. screen.clip(browser.clean(line), screen.size() - 2)) end
end

function page_commands.find(tab, words)
  if browser.current ~= tab.id then return browser.say("find: the tab is no longer the current one") end
  local ok, why = browser.search_in_page(words)
  if ok then
    loading.await("find")
    if not tab.text then browser.want_text(tab.id, function() end) end
  elseif why == "nothing to find" then
    browser.say("usage: find WORDS  (then find alone for the next match)")
  else
    browser.say(why)
  end
end

function page_commands.reading(commands)
  local add, usage, no_argument = commands.add, commands.usage, commands.no_argument
  add({"read", "r"}, "", "the page's text, a screen at a time", no_argument(function()
    local tab = current_tab()
    if tab then loading.when_ready(tab, function() browser.want_text(tab.id, show_text) end) end
  end))
  add({"links", "l"}, "", "the page's links, numbered", no_argument(function()
    local tab = current_tab()
    if tab then loading.when_ready(tab, function() browser.want_text(tab.id, show_links) end) end
  end))
  add({"follow"}, "N [new]", "open link N here, or in a new tab", function(arg, entry)
    local n, new = arg:match("^(%d+)%s*(%a*)$")
    if not n or (new ~= "" and new ~= "new") then return usage(entry) end
    local tab = current_tab()
    if not tab then return end
    loading.when_ready(tab, function() browser.want_text(tab.id, function(t)
      local url = t.text.links[tonumber(n)]
      if not url then return browser.say("no link " .. n .. " (this page has " .. #t.text.links .. ")") end
      if new == "new" then
        browser.open(url)
      elseif browser.command("Navigate", url) then
        loading.expect(t.id)
      end
      screen.draw()
    end) end)
  end)
  add({"find", "/"}, "[WORDS]", "count the matches of WORDS; find alone: the next match", function(arg)
    local tab = current_tab()
    if not tab then return end
    loading.when_ready(tab, function() page_commands.find(tab, arg) end)
  end)
  add({"source"}, "", "the page's source, a screen at a time", no_argument(function()
    local tab = current_tab()
    if tab then browser.want_text(tab.id, show_source, "SOURCE") end
  end))
end

function page_commands.settings(commands)
  local add, usage, number, no_argument = commands.add, commands.usage, commands.number, commands.no_argument
  add({"zoom", "z"}, "[25-500]", "page zoom in percent (every tab)", function(arg, entry)
    if arg == "" then return browser.say("zoom: " .. browser.zoom() .. "%") end
    local n = number(arg, 25, 500)
    if not n then return usage(entry) end
    browser.set_zoom(n)
  end)
  add({"text"}, "[0-4]", "text size: 0 smallest, 2 normal, 4 largest", function(arg, entry)
    if arg == "" then
      if not current_tab() then return end
      return browser.say("text size: " .. tm.GetTextSize(browser.current))
    end
    local n = number(arg, 0, 4)
    if not n then return usage(entry) end
    if browser.command("SetTextSize", n) then browser.say("text size: " .. n) end
  end)
  add({"mute"}, "", "silence the page", no_argument(function()
    if browser.command("EnableAudio", false) then browser.say("muted: this tab plays no sound") end
  end))
  add({"unmute"}, "", "let the page play sound", no_argument(function()
    if browser.command("EnableAudio", true) then browser.say("unmuted: this tab may play sound") end
  end))
  add({"save"}, "html|image|pdf", "save the page into the profile's downloads", function(arg, entry)
    local what = {html = "SaveWeb", image = "SaveWebToImage", pdf = "Print"}
    if not what[arg] then return usage(entry) end
    if browser.command(what[arg]) then browser.say("saving to " .. host.profile .. "/downloads ...") end
  end)
end

return page_commands
