-- The key=value texts of page orders and events, read and written by the rules of the
-- library's own reader and writers (uicontrol/interfaces/keyvalue.h): one entry a line,
-- name "=" value, every line ended by a line feed, names in ascending order when written.
-- Nothing is escaped: a writer keeps every value on its line.
local keyvalue = {}

-- Bytes of the UTF-8 sequence a lead byte starts (1 for a byte that starts none).
local function sequence_length(byte)
  if byte >= 0xF0 and byte < 0xF8 then return 4 end
  if byte >= 0xE0 then return byte < 0xF0 and 3 or 1 end
  if byte >= 0xC0 then return 2 end
  return 1
end

-- Whether `line` is one character: the library reads wide characters, and a line of one
-- of them ends an event text.
local function one_character(line)
  local n = #line
  if n == 0 then return false end
  if n == 1 then return true end
  if sequence_length(line:byte(1)) ~= n then return false end
  return not line:sub(2):find("[^\128-\191]")
end

-- Calls visit(line) for every line, without its line feed. The library hands texts on as
-- C strings, so a NUL ends the text. `all` reads every line; without it the text ends
-- as the library's reading of page events ends it: at a line of one character that a
-- line feed follows, or at an empty line right before another empty line.
function keyvalue.each_line(text, visit, all)
  text = tostring(text or "")
  local nul = text:find("\0", 1, true)
  if nul then text = text:sub(1, nul - 1) end
  local start, n = 1, #text
  while start <= n do
    local stop = text:find("\n", start, true) or n + 1
    local line = text:sub(start, stop - 1)
    if not all and stop <= n and (one_character(line) or (line == "" and text:sub(stop + 1, stop + 1) == "\n")) then
      return
    end
    visit(line)
    start = stop + 1
  end
end

-- The named lines of a text as a table (a later name replaces an earlier one). A line
-- without a name (no "=", or "=" first) is skipped; nothing is trimmed.
function keyvalue.read(text, all)
  local values = {}
  keyvalue.each_line(text, function(line)
    local eq = line:find("=", 1, true)
    if eq and eq > 1 then values[line:sub(1, eq - 1)] = line:sub(eq + 1) end
  end, all)
  return values
end

-- A value from outside made fit for a line: line feeds and carriage returns become
-- spaces, NULs are dropped.
function keyvalue.single_line(value)
  return (tostring(value):gsub("%z", ""):gsub("[\r\n]", " "))
end

-- Byte order, which for UTF-8 is the library's order of wide characters (Lua's own
-- comparison follows the locale, which the shell sets for its line editor).
local function byte_order(a, b)
  for i = 1, math.min(#a, #b) do
    local x, y = a:byte(i), b:byte(i)
    if x ~= y then return x < y end
  end
  return #a < #b
end

local function sorted_names(entries)
  local names = {}
  for name in pairs(entries) do names[#names + 1] = tostring(name) end
  table.sort(names, byte_order)
  return names
end

-- The text of `entries` (name -> string or number), or nil and the reason when a name
-- could not be read back (empty, holding "=" or a line break) or a value would add a
-- line (a line feed or a NUL).
function keyvalue.write(entries)
  local out = {}
  for _, name in ipairs(sorted_names(entries)) do
    local value = tostring(entries[name])
    if name == "" or name:find("[=\n%z]") then return nil, "the name " .. string.format("%q", name) .. " cannot be written" end
    if value:find("[\n%z]") then return nil, "the value of " .. name .. " would add a line" end
    out[#out + 1] = name .. "=" .. value .. "\n"
  end
  return table.concat(out)
end

-- The text of `entries` with every name and value made single-line first: for texts
-- that come from the user or a page and must be passed on whatever they hold.
function keyvalue.write_sanitized(entries)
  local out = {}
  for _, name in ipairs(sorted_names(entries)) do
    out[#out + 1] = keyvalue.single_line(name) .. "=" .. keyvalue.single_line(entries[name]) .. "\n"
  end
  return table.concat(out)
end

return keyvalue
