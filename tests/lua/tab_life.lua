-- A whole tab life through the test doubles: add, events from the page's own thread
-- reaching Lua through the host's queue, navigate, history document, close.
local tm = App.TabManagerInstance()
local events, data = {}, {}

function OnTabNotify(id, key, value)
  events[#events + 1] = {id = id, key = key, value = value}
end
function OnDataNotify(key, text)
  data[key] = text
end

local function seen(key)
  for _, e in ipairs(events) do if e.key == key then return e end end
end

case("a tab from start to close", function()
  local main = test.new_window()
  test.bind_main(main)
  local id = tm.AddTab("http://life.test/start", 0)
  local page = test.pages()
  eq(test.orders(page)[1], "CMD=NAVIGATE\nURL=http://life.test/start\n")

  local web = test.new_window()
  test.fire_async(page, "CHLIDHANDLE", string.format("HWND=%x\n", web))
  test.fire_async(page, "TITLECHANGE", "TITLE=Start page\nURL=http://life.test/start\n")
  test.fire_async(page, "PROGRESSCHANGE", "PERCENT=32\n")
  test.fire_async(page, "DOCUMENTCOMPLETE", "")
  ok(pump_until(function() return seen("DOCUMENTCOMPLETE") end), "events reached Lua")
  eq(seen("CHLIDHANDLE").id, id)
  eq(test.window_parent(web), main, "the web window went into the main window")
  local info = tm.FindTabInfo(id)
  eq(info.strTitle:str(), "Start page")
  eq(info.uProcent, 100)
  eq(info.eTabStatusInfo, 1)
  eq(info.hWndWeb:value(), web)
  ok(string.find(test.store_calls("add_his")[1], "url=http://life.test/start\n", 1, true))

  eq(tm.Navigate(id, "http://life.test/next"), true)
  test.drain()
  local orders = test.orders(page)
  eq(orders[#orders], "CMD=NAVIGATE\nURL=http://life.test/next\n")
  test.fire_async(page, "TITLECHANGE", "TITLE=Next\nURL=http://life.test/next\n")
  ok(pump_until(function()
    local last = events[#events]
    return last and last.key == "TITLECHANGE" and string.find(last.value, "Next", 1, true)
  end))
  test.page_value(page, "TRAVELLOG_BACK", "0\2http://life.test/start\1Start page")
  test.store_answer("get_icon", "")
  eq(tm.GetNavigateHistory(id), true)
  ok(pump_until(function() return data.GetNavigateHistory end), "the history document arrived")
  eq(data.GetNavigateHistory,
    '<NavigateHistory><Element name="Start page" url="http://life.test/start" icon="" current="false" />' ..
    '<Element name="Next" url="http://life.test/next" icon="" current="true" /></NavigateHistory>')

  eq(tm.CloseTab(id), true)
  test.drain()
  orders = test.orders(page)
  eq(orders[#orders], "CMD=ClOSETAB\n")
  local count = #events
  test.fire(page, "TITLECHANGE", "TITLE=late\nURL=x\n")
  eq(#events, count, "a closed tab is silent")
end)

case("a wait for an event that never comes ends at its deadline", function()
  local start = test.now_ms()
  ok(not pump_until(function() return false end, 300), "nothing could have made the condition true")
  local waited = test.now_ms() - start
  ok(waited >= 300, "returned before the deadline: " .. waited .. " ms")
  ok(waited < 30000, "the deadline did not end the wait: " .. waited .. " ms")
end)
