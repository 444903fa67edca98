-- Hostile scripts: collectors called by hand, and sizes that would take the host's memory.
-- Each must end in a Lua error; none may touch freed memory (the ASan build checks that).
local function collect(o) getmetatable(o).__gc(o) end

local function dead_owner(class, owner)
  return "UIBind: the object of class '" .. class .. "' refers into an object of class '" .. owner ..
    "' that has already been destroyed.\n"
end
local function destroyed(class)
  return "UIBind: the object of class '" .. class .. "' has already been destroyed.\n"
end

case("an iterator of an array collected by hand", function()
  local a = std.uintarr(3)
  local it = a.rbegin()
  collect(a)
  raises(function() print(it.value) end, dead_owner("std.uintarr.reverse_iterator", "std.uintarr"))
  raises(function() it.value = 7 end, dead_owner("std.uintarr.reverse_iterator", "std.uintarr"))
  raises(function() it.inc() end, dead_owner("std.uintarr.reverse_iterator", "std.uintarr"))
  raises(function() return a.size() end, destroyed("std.uintarr"))
  collect(a)  -- a second call does nothing
  collect(it)
  collect(it)
  raises(function() return it.value end, destroyed("std.uintarr.reverse_iterator"))
end)

case("a member reference of a TabInfo collected by hand", function()
  local ti = TabInfo()
  ti.strTitle = "t"
  local r = ti.strTitle
  local length = r.length
  collect(ti)
  raises(function() print(r.length()) end, dead_owner("std.wstring", "TabInfo"))
  raises(function() return r:length() end, dead_owner("std.wstring", "TabInfo"))
  raises(function() return length() end, dead_owner("std.wstring", "TabInfo"))
  raises(function() return tostring(r) end, dead_owner("std.wstring", "TabInfo"))
  raises(function() return r .. "x" end, dead_owner("std.wstring", "TabInfo"))
  raises(function() return ti.strTitle end, destroyed("TabInfo"))
  raises(function() ti.uID = 1 end, destroyed("TabInfo"))
end)

case("cast references of a TabInfo collected by hand", function()
  local ti = TabInfo()
  ti.strTitle = "t"
  local c = __cast(ti, "TabInfo")
  local w = __cast(ti.strTitle, std.wstring)
  collect(ti)
  raises(function() return c.uID end, dead_owner("TabInfo", "TabInfo"))
  raises(function() c.uID = 3 end, dead_owner("TabInfo", "TabInfo"))
  raises(function() print(w.length()) end, dead_owner("std.wstring", "TabInfo"))
  ok(__cast(c, "TabInfo") == nil)
end)

case("collecting a reference by hand leaves its object alone", function()
  local ti = TabInfo()
  ti.strTitle = "kept"
  local r = ti.strTitle
  collect(r)
  collect(__cast(ti, "TabInfo"))
  eq(r:str(), "kept")
  eq(ti.strTitle:str(), "kept")
  local tm = App.TabManagerInstance()
  collect(tm)
  eq(App.TabManagerInstance().GetTabsCount(), tm.GetTabsCount())
end)

local limit = "is above the array limit of 16777216 elements"

case("array sizes above the limit are refused", function()
  raises(function() return std.uintarr(2147483648) end, "size 2147483648 " .. limit)
  raises(function() return std.uintarr(4294967295) end, "size 4294967295 " .. limit)
  raises(function() return std.uintarr(4294967295, 1) end, "size 4294967295 " .. limit)
  local a = std.uintarr(1, 5)
  raises(function() a.resize(4294967295, 0) end, "size 4294967295 " .. limit)
  raises(function() a.assign(2147483648, 0) end, "size 2147483648 " .. limit)
  raises(function() a.reserve(4294967295) end, "size 4294967295 " .. limit)
  raises(function() a.insert(a.begin(), 4294967295, 0) end, "size 4294967296 " .. limit)
  eq(a.size(), 1)
  eq(a.at(0), 5)
end)

case("wide strings from numbers are their text", function()
  eq(std.wstring(4294967295):str(), "4294967295")
  eq(std.wstring(2147483648):length(), 10)
end)
