-- A long text a screen at a time, read as in a pager: Enter or space for the next
-- screen, b for the one before, g and G for the top and the end, /WORDS and n to find,
-- a link's number (or f N) to follow it, F N to open it in a new tab, q to stop.
-- While a text is shown, Ctrl-C does not end the browser (the terminal's interrupt
-- key is off). When standard output is no terminal, the whole text is written at once.
local browser = require("browser")
local screen = require("shell.screen")
local reader = require("reader")

local pager = {}
local shown = nil  -- {lines, top, title, words, found}

-- The line editor turns the interrupt key back on each time it takes the terminal
-- after a line, so it is turned off from a timer that runs after that; the prompt
-- comes then, so that a key typed at the prompt finds the key off.
local function prompt_without_interrupt(prompt)
  if not host.interactive then return host.prompt(prompt) end
  host.prompt("")
  host.after(0, function()
    if not shown then return end
    os.execute("stty -isig 2>/dev/null")
    host.prompt(prompt)
  end)
end

local function height()
  local _, rows = screen.size()
  return rows - 1
end

local function show(note)
  local columns = screen.size()
  local h = height()
  shown.top = math.max(1, math.min(shown.top, #shown.lines - h + 1))
  local out = {"\27[H"}
  for i = shown.top, shown.top + h - 1 do out[#out + 1] = "\27[K" .. (shown.lines[i] or "") .. "\n" end
  out[#out + 1] = "\27[J"
  io.write(table.concat(out))
  io.flush()
  local last = shown.top + h - 1
  local prompt
  if last >= #shown.lines then
    prompt = "-- end of " .. screen.clip(shown.title, columns - 40) .. " (Enter: back, b: up, /: find) -- "
  else
    prompt = string.format("-- more %d%% (Enter: more, b: back, /WORDS: find, N: link N, q: stop) -- ",
                           math.floor(last * 100 / #shown.lines))
  end
  if note then prompt = "-- " .. note .. " " .. prompt:sub(4) end
  prompt_without_interrupt(screen.clip(prompt, columns - 1))
  if not host.interactive then io.write("-- more --\n") io.flush() end
end

function pager.close()
  if not shown then return end
  shown = nil
  screen.set_pager(nil)
  host.pager(false)
  host.prompt("> ")
  if host.interactive then os.execute("stty isig 2>/dev/null") end
end

-- Shows `lines` a screen at a time.
function pager.open(lines, title)
  if #lines == 0 then return browser.say(title .. ": nothing to show") end
  if screen.plain then
    screen.draw()
    io.write(table.concat(lines, "\n") .. "\n")
    io.flush()
    return
  end
  -- A line wider than the screen goes on on the next (the terminal would otherwise wrap
  -- it and push the screen up).
  local columns, fitted = screen.size(), {}
  for _, line in ipairs(lines) do
    while reader.width(line) > columns do
      local part = reader.head(line, columns)
      if part == "" then part = line:sub(1, 1) end
      fitted[#fitted + 1] = part
      line = line:sub(#part + 1)
    end
    fitted[#fitted + 1] = line
  end
  shown = {lines = fitted, top = 1, title = title}
  screen.set_pager(shown)
  host.pager(true)
  show()
end

-- The next line holding `words` (any case) after line `from`, or nil.
local function find(words, from)
  local needle = words:lower()
  for i = from + 1, #shown.lines do
    if shown.lines[i]:lower():find(needle, 1, true) then return i end
  end
end

-- A line typed while a text is shown: true when the pager took it; false, with the
-- command to run instead, when the pager ended.
function pager.input(line)
  if not shown then return false end
  local answer = line:match("^%s*(.-)%s*$")
  local h = height()
  local at_end = shown.top + h - 1 >= #shown.lines
  if answer == "" and not at_end then
    shown.top = shown.top + h
    show()
    return true
  elseif answer == "b" then
    shown.top = shown.top - h
    show()
    return true
  elseif answer == "g" or answer == "<" then
    shown.top = 1
    show()
    return true
  elseif answer == "G" or answer == ">" then
    shown.top = #shown.lines
    show()
    return true
  end
  local words = answer:match("^/%s*(.+)$")
  if words or answer == "n" then
    words = words or shown.words
    if not words then show("no search yet (/WORDS)") return true end
    shown.words = words
    local at = find(words, words == shown.found_words and shown.found or shown.top - 1)
    if not at and shown.found then at = find(words, 0) end  -- from the top again
    if not at then show("no \"" .. words .. "\"") return true end
    shown.found, shown.found_words = at, words
    shown.top = at
    show()
    return true
  end
  local n = answer:match("^%d+$") or answer:match("^f%s*(%d+)$")
  local new = answer:match("^F%s*(%d+)$")
  pager.close()
  if n then return false, "follow " .. n end
  if new then return false, "follow " .. new .. " new" end
  if answer == "" or answer == "q" then
    screen.draw()
    return true
  end
  return false
end

screen.pager_open = pager.open
return pager
