-- Reading the small XML documents the library and the store send: elements and their
-- attributes, in document order.
local xml = {}

local entities = {amp = "&", lt = "<", gt = ">", quot = '"', apos = "'"}

local function utf8char(code)
  if code < 0x80 then return string.char(code) end
  if code < 0x800 then return string.char(0xC0 + math.floor(code / 0x40), 0x80 + code % 0x40) end
  if code < 0x10000 then
    return string.char(0xE0 + math.floor(code / 0x1000), 0x80 + math.floor(code / 0x40) % 0x40, 0x80 + code % 0x40)
  end
  return string.char(0xF0 + math.floor(code / 0x40000), 0x80 + math.floor(code / 0x1000) % 0x40,
                     0x80 + math.floor(code / 0x40) % 0x40, 0x80 + code % 0x40)
end

function xml.unescape(text)
  return (text:gsub("&(#?x?)(%w+);", function(kind, name)
    if kind == "#x" then return utf8char(tonumber(name, 16) or 63) end
    if kind == "#" then return utf8char(tonumber(name) or 63) end
    return entities[name] or ("&" .. name .. ";")
  end))
end

-- Every element named `tag` as a table of its attributes.
function xml.elements(text, tag)
  local found = {}
  for attributes in (text or ""):gmatch("<" .. tag .. "(%s[^>]-)/?>") do
    local element = {}
    for name, value in attributes:gmatch('([%w_:%-]+)%s*=%s*"([^"]*)"') do element[name] = xml.unescape(value) end
    found[#found + 1] = element
  end
  return found
end

-- The attributes of the first element named `tag`, or nil.
function xml.first(text, tag)
  return xml.elements(text, tag)[1]
end

return xml
