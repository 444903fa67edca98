-- The terminal's screen: the numbered tab strip with titles, load progress and the
-- current address over the last command typed and what came of it. On a terminal the
-- screen is redrawn in place (no clearing that pushes copies into the scrollback); when
-- standard output is no terminal, only what is new is written, without control codes.
local browser = require("browser")
local reader = require("reader")

local screen = {}
screen.recent = {}  -- the last command typed ("> line") and the messages since
local status = os.execute("test -t 1")
screen.plain = not (status == 0 or status == true)  -- the exit status, or true with Lua 5.2's rules
local printed, last_strip = 0, nil
local pager = nil  -- set by shell.pager while a text is shown a screen at a time

function screen.clip(s, n)
  s = s or ""
  if reader.width(s) <= n then return s end
  return reader.head(s, n - 1) .. "~"
end

function screen.size()
  local columns, rows = host.terminal_size()
  return math.max(columns, 20), math.max(rows, 5)
end

function screen.set_pager(p) pager = p end

-- A new command: what was said before goes, the command stays above its answers.
function screen.command(line)
  screen.recent = {}
  printed = 0
  if line:match("%S") then screen.recent[1] = "> " .. browser.clean(line) end
end

function screen.message(text)
  screen.recent[#screen.recent + 1] = text
  if #screen.recent > 200 then
    table.remove(screen.recent, 1)
    printed = math.max(printed - 1, 0)
  end
end

-- The tab strip as lines of at most `columns`, broken only between tabs.
function screen.strip(columns)
  local entries = {}
  for i, tab in ipairs(browser.tabs) do
    local mark = tab.id == browser.current and "*" or " "
    local state = tab.crashed and " (crashed)" or (tab.progress or 0) < 100 and string.format(" %d%%", tab.progress or 0) or ""
    if tab.unresponsive then state = state .. string.format(" (not responding %ds)", math.floor(tab.unresponsive)) end
    if (tab.blocked or 0) > 0 then state = state .. string.format(" (%d blocked)", tab.blocked) end
    local entry = string.format("%s[%d] %s%s", mark, i, screen.clip(tab.title ~= "" and tab.title or tab.url, 24), state)
    entries[#entries + 1] = screen.clip(entry, columns)
  end
  if #entries == 0 then return {"(no tabs: open URL)"} end
  local lines, line = {}, entries[1]
  for i = 2, #entries do
    if reader.width(line) + 2 + reader.width(entries[i]) <= columns then
      line = line .. "  " .. entries[i]
    else
      lines[#lines + 1] = line
      line = entries[i]
    end
  end
  lines[#lines + 1] = line
  return lines
end

local function draw_plain(columns)
  local out = {}
  local current = browser.find(browser.current or 0)
  local strip = table.concat(screen.strip(columns), "\n") .. "\naddress: " .. (current and current.url or "")
  if strip ~= last_strip and not (current and (current.progress or 0) < 100) then
    out[#out + 1] = strip .. "\n"
    last_strip = strip
  end
  for i = printed + 1, #screen.recent do out[#out + 1] = screen.recent[i] .. "\n" end
  printed = #screen.recent
  io.write(table.concat(out))
  io.flush()
end

function screen.draw()
  if pager then return end  -- the text being read stays on the screen
  local columns, rows = screen.size()
  if screen.plain then return draw_plain(columns) end
  local lines = screen.strip(columns)
  local current = browser.find(browser.current or 0)
  lines[#lines + 1] = screen.clip("address: " .. (current and current.url or ""), columns)
  lines[#lines + 1] = string.rep("-", math.min(columns, 60))
  -- The newest messages that fit, each broken between words at the screen's width, so
  -- that the terminal never scrolls.
  local room, said = rows - #lines - 1, {}
  for i = #screen.recent, 1, -1 do
    local text = screen.recent[i]
    local wrapped = {text}
    if reader.width(text) > columns then
      local indent = text:match("^%s*")
      wrapped = reader.wrap(text, columns, indent, indent .. "  ")
    end
    for k = #wrapped, 1, -1 do table.insert(said, 1, wrapped[k]) end
    if #said >= room then break end
  end
  for i = math.max(1, #said - room + 1), #said do lines[#lines + 1] = said[i] end
  local out = {"\27[H"}
  for _, l in ipairs(lines) do out[#out + 1] = "\27[K" .. l .. "\n" end
  out[#out + 1] = "\27[J"
  if not host.interactive then out[#out + 1] = "> " end
  io.write(table.concat(out))
  io.flush()
end

function screen.list(title, items, format)
  browser.say(title .. (#items == 0 and ": none" or ":"))
  for i, item in ipairs(items) do browser.say(string.format("  %d. %s", i, format(item))) end
end

-- Shows `lines` a screen at a time (shell.pager); set by it to break the require cycle.
function screen.page(lines, title) return screen.pager_open(lines, title) end

return screen
