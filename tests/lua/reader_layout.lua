-- Laying out page text for a terminal: numbered items whose text is a paragraph, lines
-- broken between words and between wide (CJK) characters, widths in columns.
local reader = require("reader")

local function fits(lines, width)
  for _, l in ipairs(lines) do ok(reader.width(l) <= width, "wider than " .. width .. ": [" .. l .. "]") end
end

case("a numbered item whose text is a paragraph is one line: its number, then the text", function()
  local out = reader.layout({"L1:1.", "P:The first step, as a paragraph.", "L1:2.", "P:Second step.",
                             "L1:3. Plain item", "L1:", "P:Bulleted paragraph", "P:Text after the list."}, 60)
  eq(out[1], "1. The first step, as a paragraph.")
  eq(out[2], "2. Second step.")
  eq(out[3], "3. Plain item")
  eq(out[4], "* Bulleted paragraph")
  eq(out[5], "")
  eq(out[6], "Text after the list.")
  -- A long numbered paragraph goes on under its first word, not under the number.
  local long = reader.layout({"L2:12.", "P:" .. string.rep("word ", 20)}, 30)
  eq(long[1]:sub(1, 6), "  12. ")
  eq(long[2]:sub(1, 6), "      ")
  fits(long, 30)
end)

case("lines break between words, and wide characters count two columns", function()
  eq(reader.width("Notes \231\172\148\232\174\176"), 10)
  eq(reader.head("a\231\172\148\232\174\176", 2), "a")
  eq(reader.head("a\231\172\148\232\174\176", 3), "a\231\172\148")
  local cases = {
    {"the quick brown fox jumps over the lazy dog", 10},
    {"Notes \231\172\148\232\174\176\231\172\148\232\174\176\231\172\148\232\174\176 more", 9},
    {string.rep("x", 25) .. " tail", 10},
    {string.rep("\228\184\173", 30), 11},
  }
  for _, c in ipairs(cases) do
    local lines = reader.wrap(c[1], c[2])
    fits(lines, c[2])
    -- Nothing is lost: the lines put together give the text back (CJK breaks add no space).
    local joined = table.concat(lines, " "):gsub(" ", "")
    eq(joined, (c[1]:gsub(" ", "")))
  end
  -- Words are never cut when they fit on a line of their own.
  local words = reader.wrap("alpha beta gamma delta", 11)
  eq(table.concat(words, "|"), "alpha beta|gamma delta")
  -- Invalid UTF-8 and empty text give lines, never an error.
  eq(#reader.wrap("", 10), 0)
  fits(reader.wrap("\255\254 abc \228\184", 10), 10)
end)

case("a long unbroken run is cut into full lines under its item's indent, nothing lost", function()
  for _, c in ipairs({{string.rep("q", 1000), 40}, {"a " .. string.rep("\228\184\173", 101) .. " b", 21},
                      {"e\204\129" .. string.rep("z", 30) .. " tail", 12}}) do
    local text, width = c[1], c[2]
    local lines = reader.wrap(text, width, "  * ", "    ")
    fits(lines, width)
    local rejoined = {}
    for i, l in ipairs(lines) do
      eq(l:sub(1, 4), i == 1 and "  * " or "    ")
      rejoined[#rejoined + 1] = l:sub(5)
    end
    eq(table.concat(rejoined, " "):gsub(" ", ""), (text:gsub(" ", "")))
    -- Every line but the last of the run is full: cuts come only where the room ends.
    if not text:find(" ") then
      for i = 1, #lines - 1 do eq(reader.width(lines[i]), width) end
    end
  end
end)
