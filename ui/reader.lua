-- Laying out a page's text (the lines of PAGETEXT, "<kind>:<text>") for a terminal of a
-- given width: headings underlined, paragraphs wrapped with a blank line between them,
-- list items indented with their bullet, table rows and preformatted lines as they are.
local reader = {}

-- Length in characters of a UTF-8 text (continuation bytes are not counted).
function reader.width(text)
  local _, continuation = text:gsub("[\128-\191]", "")
  return #text - continuation
end

-- The first `n` characters of a UTF-8 text.
function reader.head(text, n)
  local count, i = 0, 1
  while i <= #text do
    local c = text:byte(i)
    local size = c < 0x80 and 1 or c >= 0xF0 and 4 or c >= 0xE0 and 3 or c >= 0xC0 and 2 or 1
    if count == n then return text:sub(1, i - 1) end
    count, i = count + 1, i + size
  end
  return text
end

-- Words of `text` in lines of at most `width` characters; a word longer than a line is
-- cut. `first` and `rest` are put before the first and the following lines.
function reader.wrap(text, width, first, rest)
  first, rest = first or "", rest or first or ""
  local out, line, prefix = {}, "", first
  local room = math.max(width - reader.width(prefix), 8)
  for word in text:gmatch("%S+") do
    while reader.width(word) > room do
      if line ~= "" then
        out[#out + 1] = prefix .. line
        line, prefix = "", rest
        room = math.max(width - reader.width(prefix), 8)
      end
      local part = reader.head(word, room)
      out[#out + 1] = prefix .. part
      word, prefix = word:sub(#part + 1), rest
      room = math.max(width - reader.width(prefix), 8)
    end
    if word ~= "" then
      if line == "" then
        line = word
      elseif reader.width(line) + 1 + reader.width(word) <= room then
        line = line .. " " .. word
      else
        out[#out + 1] = prefix .. line
        line, prefix = word, rest
        room = math.max(width - reader.width(prefix), 8)
      end
    end
  end
  if line ~= "" then out[#out + 1] = prefix .. line end
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
  for _, entry in ipairs(lines) do
    local kind, text = entry:match("^(%w+):(.*)$")
    if not kind then kind, text = "P", entry end
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
      local depth = tonumber(kind:sub(2)) or 1
      local indent = string.rep("  ", depth - 1)
      local bullet = text:match("^%d+%. ") and "" or "* "
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
  end
  while out[#out] == "" do out[#out] = nil end
  return out
end

return reader
