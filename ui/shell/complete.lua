-- The Tab key at the prompt: command names first, then what the command takes (tab and
-- list numbers, the words a command knows, addresses).
local browser = require("browser")
local commands = require("shell.commands")

local takes_tab = {tab = true, t = true, close = true, c = true}
local takes_address = {open = true, o = true, go = true, g = true}
local words_of = {save = {"html", "image", "pdf"}, bookmarks = {"open", "delete"}, session = {"always", "ask"}}

-- Addresses typed in earlier runs, from the line editor's history, as they were opened
-- (words that were searched are no addresses).
local function typed_addresses()
  local urls = {}
  local typed = host.profile and io.open(host.profile .. "/command-history", "r")
  if not typed then return urls end
  for line in typed:lines() do
    local verb, address = line:match("^%s*(%a+)%s+(%S+)%s*$")
    local url = verb and takes_address[verb] and browser.address(address)
    if url and url ~= browser.search_url(address) then urls[#urls + 1] = url end
  end
  typed:close()
  return urls
end

return function(word, before)
  local out, seen = {}, {}
  local function offer(candidate)
    if candidate ~= "" and not seen[candidate] and candidate:sub(1, #word) == word then
      seen[candidate] = true
      out[#out + 1] = candidate
    end
  end
  local function numbers(list) for i = 1, #list do offer(tostring(i)) end end
  local name = before:match("^%s*(%S+)%s+$")
  if before:match("^%s*$") then
    for _, e in ipairs(commands.order) do for _, n in ipairs(e.names) do if #n > 1 then offer(n) end end end
  elseif takes_tab[name] then
    numbers(browser.tabs)
  elseif name == "restore" then
    numbers(browser.closed)
  elseif words_of[name] then
    for _, k in ipairs(words_of[name]) do offer(k) end
  elseif name == "engine" then
    for _, e in ipairs(browser.engines) do offer(e.id) end
  elseif takes_address[name] then
    return browser.complete_address(word, typed_addresses())
  end
  return out
end
