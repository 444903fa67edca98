-- The terminal's screen: the numbered tab strip with titles, load progress and the
-- current address over the latest messages; and the pager that shows a long text a
-- screen at a time.
local browser = require("browser")
local reader = require("reader")

local screen = {}
local pager = nil  -- {lines, at, title} while a text is shown a screen at a time

function screen.clip(s, n)
  s = s or ""
  if reader.width(s) <= n then return s end
  return reader.head(s, n - 1) .. "~"
end

function screen.size()
  local columns, rows = host.terminal_size()
  return math.max(columns, 20), math.max(rows, 5)
end

function screen.draw()
  if pager then return end  -- the text being read stays on the screen
  local columns, rows = screen.size()
  local out = {"\27[H\27[2J"}
  local strip = {}
  for i, tab in ipairs(browser.tabs) do
    local mark = tab.id == browser.current and "*" or " "
    local state = tab.crashed and " (crashed)" or (tab.progress or 0) < 100 and string.format(" %d%%", tab.progress or 0) or ""
    strip[#strip + 1] = string.format("%s[%d] %s%s", mark, i, screen.clip(tab.title ~= "" and tab.title or tab.url, 24), state)
  end
  out[#out + 1] = (#strip > 0 and table.concat(strip, "  ") or "(no tabs: open URL)") .. "\n"
  local current = browser.find(browser.current or 0)
  out[#out + 1] = "address: " .. (current and current.url or "") .. "\n"
  out[#out + 1] = string.rep("-", math.min(columns, 60)) .. "\n"
  for i = math.max(1, #browser.messages - (rows - 5)), #browser.messages do out[#out + 1] = browser.messages[i] .. "\n" end
  if not host.interactive then out[#out + 1] = "> " end
  io.write(table.concat(out))
  io.flush()
end

local function show_page()
  local columns, rows = screen.size()
  local height = rows - 1
  local out = {"\27[H\27[2J"}
  for i = pager.at, math.min(pager.at + height - 1, #pager.lines) do out[#out + 1] = pager.lines[i] .. "\n" end
  pager.at = pager.at + height
  io.write(table.concat(out))
  io.flush()
  if pager.at > #pager.lines then
    host.prompt("-- end of " .. screen.clip(pager.title, columns - 30) .. " (Enter: back) -- ")
  else
    local percent = math.floor((pager.at - 1) * 100 / #pager.lines)
    host.prompt(string.format("-- more %d%% (space or Enter: more, q: stop) -- ", percent))
  end
  if not host.interactive then io.write("-- more --\n") io.flush() end
end

-- Shows `lines` a screen at a time.
function screen.page(lines, title)
  if #lines == 0 then return browser.say(title .. ": nothing to show") end
  pager = {lines = lines, at = 1, title = title}
  host.pager(true)
  show_page()
end

-- A line typed while the pager shows a text: true when the pager took it (more of the
-- text, or back to the screen); false when it ended and the line is a command.
function screen.pager_input(line)
  if not pager then return false end
  local answer = line:match("^%s*(.-)%s*$")
  if answer == "" and pager.at <= #pager.lines then
    show_page()
    return true
  end
  pager = nil
  host.pager(false)
  host.prompt("> ")
  if answer == "" or answer == "q" then
    screen.draw()
    return true
  end
  return false
end

function screen.list(title, items, format)
  browser.say(title .. (#items == 0 and ": none" or ":"))
  for i, item in ipairs(items) do browser.say(string.format("  %d. %s", i, format(item))) end
end

return screen
