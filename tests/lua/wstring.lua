-- The host's wide-string and window-handle classes.
local tm = App.TabManagerInstance()

case("wide strings from and back to Lua text", function()
  local w = std.wstring("caf\195\169 \228\184\173\240\159\152\128")
  eq(w:str(), "caf\195\169 \228\184\173\240\159\152\128")
  eq(w:length(), 7)
  eq(tostring(w), w:str())
  ok(w == std.wstring(w:str()))
  ok(not (w == std.wstring("other")))
  eq("[" .. w .. "]", "[" .. w:str() .. "]")
  eq(w .. w, w:str() .. w:str())
  ok(std.wstring():empty())
  -- Invalid UTF-8 becomes U+FFFD, one per bad sequence.
  eq(std.wstring("a\255b"):str(), "a\239\191\189b")
  eq(std.wstring("\228\184"):str(), "\239\191\189")
end)

case("a property reference keeps its TabInfo alive", function()
  local id = tm.AddTab("http://keep.test/", 0)
  local title = tm.FindTabInfo(id).strTitle
  collectgarbage("collect")
  collectgarbage("collect")
  eq(title:str(), "http://keep.test/")
  tm.CloseTab(id)
end)

case("window handles", function()
  local n = test.new_window()
  local h = HWND.FromValue(n)
  eq(h:value(), n)
  ok(h == HWND.FromValue(n))
  eq(tostring(h), string.format("HWND(0x%x)", n))
  local info = TabInfo()
  info.hWndWeb = h
  eq(info.hWndWeb:value(), n)
  raises(function() info.hWndWeb = 5 end, "MemberClass::PerformNewIndexOperator: can't convert a variable to assign.\n")
end)
