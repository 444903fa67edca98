-- Laying out a page's text (the lines of PAGETEXT, "<kind>:<text>") for a terminal of a
-- given width: headings underlined, paragraphs wrapped with a blank line between them,
-- list items indented with their bullet or number, table rows and preformatted lines as
-- they are. Widths are in terminal columns: CJK and other wide characters take two.
local reader = {}

-- The code points of a UTF-8 text with their byte ranges: for start, stop, code in ...
local function chars(text)
  local i = 1
  return function()
    if i > #text then return nil end
    local c = text:byte(i)
    local size = c >= 0xF0 and c < 0xF8 and 4 or c >= 0xE0 and 3 or c >= 0xC0 and 2 or 1
    local code = size == 1 and c or c % (2 ^ (7 - size))
    for k = i + 1, math.min(i + size - 1, #text) do code = code * 64 + text:byte(k) % 64 end
    local start = i
    i = i + size
    return start, math.min(i - 1, #text), code
  end
end

-- Columns a code point takes: 2 for East Asian wide and full-width ones, 0 for
-- combining marks and continuation bytes, else 1.
local function columns(code)
  if code >= 0x300 and code <= 0x36F then return 0 end
  if (code >= 0x1100 and code <= 0x115F) or (code >= 0x2E80 and code <= 0xA4CF and code ~= 0x303F) or
     (code >= 0xAC00 and code <= 0xD7A3) or (code >= 0xF900 and code <= 0xFAFF) or
     (code >= 0xFE30 and code <= 0xFE4F) or (code >= 0xFF00 and code <= 0xFF60) or
     (code >= 0xFFE0 and code <= 0xFFE6) or (code >= 0x1F300 and code <= 0x1F64F) or
     (code >= 0x1F900 and code <= 0x1F9FF) or (code >= 0x20000 and code <= 0x3FFFD) then
    return 2
  end
  return 1
end

-- Columns a UTF-8 text takes on a terminal.
function reader.width(text)
  local n = 0
  for _, _, code in chars(text) do n = n + columns(code) end
  return n
end

-- The longest start of a UTF-8 text that fits in `n` columns.
function reader.head(text, n)
  local used = 0
  for start, stop, code in chars(text) do
    used = used + columns(code)
    if used > n then return text:sub(1, start - 1) end
  end
  return text
end

-- The pieces a line may break between: words, and each wide character on its own (CJK
-- text has no spaces, and may break between any two characters). Each piece keeps its
-- width in columns; `glued` is true when no space comes before it. One pass over the text.
local function pieces(text)
  local out = {}
  for word in text:gmatch("%S+") do
    local first, run_start, run_width = true, nil, 0
    local function push(start, stop, columns_used)
      out[#out + 1] = {text = word:sub(start, stop), width = columns_used, glued = not first}
      first = false
    end
    for start, stop, code in chars(word) do
      local c = columns(code)
      if c == 2 then
        if run_start then push(run_start, start - 1, run_width) end
        run_start, run_width = nil, 0
        push(start, stop, 2)
      else
        run_start = run_start or start
        run_width = run_width + c
      end
    end
    if run_start then push(run_start, #word, run_width) end
  end
  return out
end

-- The text in lines of at most `width` columns, broken between words (or between wide
-- characters); a word longer than a line is cut. `first` and `rest` are put before the
-- first and the following lines. Linear in the text: the line's width is kept as pieces
-- are added, never measured again.
function reader.wrap(text, width, first, rest)
  first, rest = first or "", rest or first or ""
  local out, parts, used, prefix = {}, {}, 0, first
  local room = math.max(width - reader.width(prefix), 8)
  local function next_line()
    out[#out + 1] = prefix .. table.concat(parts)
    parts, used, prefix = {}, 0, rest
    room = math.max(width - reader.width(prefix), 8)
  end
  for _, p in ipairs(pieces(text)) do
    local gap = (#parts > 0 and not p.glued) and 1 or 0
    if used + gap + p.width <= room then
      if gap == 1 then parts[#parts + 1] = " " end
      parts[#parts + 1] = p.text
      used = used + gap + p.width
    else
      if #parts > 0 then next_line() end
      local word, cols = p.text, p.width
      if cols > room then
        -- Cut into lines of `room` columns, at least one character each.
        local from, taken = 1, 0
        for start, _, code in chars(word) do
          local c = columns(code)
          if taken + c > room and start > from then
            parts[1] = word:sub(from, start - 1)
            next_line()
            from, taken = start, 0
          end
          taken = taken + c
        end
        word, cols = word:sub(from), taken
      end
      parts[1], used = word, cols
    end
  end
  if #parts > 0 then out[#out + 1] = prefix .. table.concat(parts) end
  return out
end

-- The page's lines laid out for `width` columns, as a list of screen lines.
function reader.layout(lines, width)
  local out = {}
  local last_kind
  local function blank()
    if #out > 0 and out[#out] ~= "" then out[#out + 1] = "" end
  end
  local function add(list)
    for _, l in ipairs(list) do out[#out + 1] = l end
  end
  local i = 1
  while i <= #lines do
    local kind, text = lines[i]:match("^(%w+):(.*)$")
    if not kind then kind, text = "P", lines[i] end
    local level = tonumber(kind)
    if level then
      blank()
      local wrapped = reader.wrap(text, width)
      add(wrapped)
      if level <= 2 then
        local longest = 0
        for _, l in ipairs(wrapped) do longest = math.max(longest, reader.width(l)) end
        out[#out + 1] = string.rep(level == 1 and "=" or "-", longest)
      end
      out[#out + 1] = ""
    elseif kind:sub(1, 1) == "L" then
      if last_kind and last_kind:sub(1, 1) ~= "L" then blank() end
      -- An item whose text is in a paragraph of its own ("1." then the paragraph) is
      -- one item: its number or bullet and the paragraph's text on the same line.
      local following = lines[i + 1] and lines[i + 1]:match("^P:(.*)$")
      if following and text:match("^%s*%d*%.?%s*$") then
        text = (text:match("%d+%.") and text:match("%d+%.") .. " " or "") .. following
        i = i + 1
      end
      local depth = tonumber(kind:sub(2)) or 1
      local indent = string.rep("  ", depth - 1)
      local number = text:match("^%d+%. ")
      local bullet = number or "* "
      if number then text = text:sub(#number + 1) end
      add(reader.wrap(text, width, indent .. bullet, indent .. string.rep(" ", #bullet)))
    elseif kind == "R" then
      if last_kind ~= "R" then blank() end
      add(reader.wrap(text, width, "  ", "    "))
    elseif kind == "Q" then
      if last_kind ~= "Q" then blank() end
      out[#out + 1] = reader.head(text, width)
    else
      if last_kind and last_kind ~= "P" then blank() end
      add(reader.wrap(text, width))
      out[#out + 1] = ""
    end
    last_kind = kind
    i = i + 1
  end
  while out[#out] == "" do out[#out] = nil end
  return out
end

return reader
