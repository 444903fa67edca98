--! without TabInfo
-- Before TabInfo is installed a snapshot cannot be handed to Lua.
local tm = App.TabManagerInstance()

case("FindTabInfo raises the by-value text", function()
  raises(function() tm.FindTabInfo(1) end, "CreateCustomLuaVariable<ByVal> can't find GenericClass for ")
end)
