-- Search engines: the library's, the served folder's own search page (so that a search
-- works without the internet) and those added with "engine add NAME URL", kept in
-- <profile>/search-engines (one "NAME URL" a line); the default is the library's unless
-- one of the shell's own was chosen (kept in <profile>/search-engine-default).
local browser = require("browser")
local tm = browser.tm

local engines = {}

local function path(name) return host.profile and host.profile ~= "" and host.profile .. "/" .. name end

local function read_lines(name)
  local lines, file = {}, path(name) and io.open(path(name), "r")
  if not file then return lines end
  for line in file:lines() do lines[#lines + 1] = line end
  file:close()
  return lines
end

local function write_lines(name, lines)
  local file = path(name) and io.open(path(name), "w")
  if not file then return false end
  file:write(table.concat(lines, "\n"), #lines > 0 and "\n" or "")
  file:close()
  return true
end

-- The shell's own engines: the served search page first, then the added ones.
function engines.own()
  local list = {}
  if host.base_url and host.base_url ~= "" then
    list[1] = {id = "local", name = "the served search page", url = host.base_url .. "search.html?q={searchTerms}", own = true}
  end
  for _, line in ipairs(read_lines("search-engines")) do
    local name, url = line:match("^(%S+)%s+(%S+)$")
    if name then list[#list + 1] = {id = name, name = name, url = url, own = true} end
  end
  return list
end

-- The library's list with the shell's own after it, and the default marked.
function engines.merge()
  local list = {}
  for _, e in ipairs(browser.engines) do if not e.own then list[#list + 1] = e end end
  local chosen = read_lines("search-engine-default")[1]
  local mine = false
  for _, e in ipairs(engines.own()) do
    e.default = e.id == chosen and "true" or "false"
    mine = mine or e.id == chosen
    list[#list + 1] = e
  end
  if mine then for _, e in ipairs(list) do if not e.own then e.default = "false" end end end
  browser.engines = list
end

table.insert(browser.listeners, function(kind, key)
  if kind == "data" and key == "GetAllSearchLists" then engines.merge() end
end)

-- Adds engine NAME searching with URL (%s stands for the words); a defined answer for
-- every input.
function engines.add(name, url)
  if not name:match("^[%w_%-]+$") then return nil, "an engine's name is one word of letters, digits, - or _" end
  if not url:match("^https?://") or not url:find("%s", 1, true) then
    return nil, "the address must start with http:// or https:// and hold %s where the words go"
  end
  for _, e in ipairs(browser.engines) do
    if e.id == name then return nil, "there is an engine " .. name .. " already" end
  end
  local lines = read_lines("search-engines")
  lines[#lines + 1] = name .. " " .. url:gsub("%%s", "{searchTerms}")
  if not write_lines("search-engines", lines) then return nil, "could not write " .. tostring(path("search-engines")) end
  engines.merge()
  return true
end

function engines.commands(commands)
  local add, usage, no_argument = commands.add, commands.usage, commands.no_argument
  add({"engines"}, "", "search engines", no_argument(function()
    engines.merge()
    browser.say("search engines" .. (#browser.engines == 0 and ": none" or ":"))
    for _, e in ipairs(browser.engines) do
      browser.say(string.format("  %s  %s%s", e.id, browser.clean(e.name), e.default == "true" and " (default)" or ""))
    end
  end))
  add({"engine"}, "ID|add NAME URL", "choose the default search engine, or add one (%s in URL: the words)", function(arg, entry)
    local name, url = arg:match("^add%s+(%S+)%s+(%S+)$")
    if name then
      local ok, why = engines.add(name, url)
      return browser.say(ok and ("engine " .. name .. " added (engine " .. name .. " makes it the default)") or why)
    end
    local chosen
    for _, e in ipairs(browser.engines) do if e.id == arg then chosen = e end end
    if not chosen then return usage(entry) end
    if chosen.own then
      write_lines("search-engine-default", {chosen.id})
    else
      if not tm.SetDefaultSearch(arg) then return browser.say("could not choose engine " .. arg) end
      write_lines("search-engine-default", {})
    end
    engines.merge()
    browser.say("default engine: " .. arg .. " " .. browser.clean(chosen.name))
    tm.GetAllSearchLists()
  end)
end

return engines
