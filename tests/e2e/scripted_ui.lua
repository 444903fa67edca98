-- A scripted user interface for the shell's end-to-end test. It drives the browser
-- through a scenario and prints "SCRIPT OK" or "SCRIPT FAIL: <reason>", then quits.
-- host.args[1] == "second" checks the session that the first run left behind.
package.path = host.args[2] .. "/?.lua;" .. package.path
local browser = require("browser")
local tm = browser.tm
local here = debug.getinfo(1, "S").source:match("^@(.*)/[^/]*$") or "."
package.path = here .. "/?.lua;" .. package.path
local scenario = require("scenario")
local step, wait_for = scenario.step, scenario.wait_for

local function loaded(id, title)
  local tab = browser.find(id)
  return tab and tab.progress == 100 and (not title or tab.title == title)
end

local first_run = function()
  local base = host.base_url
  local a = browser.open(base .. "index.html")
  local b = browser.open(base .. "news.html")
  local c = browser.open(base .. "notes.html")
  wait_for("three pages", function()
    return loaded(a, "uicontrol start page") and loaded(b, "Local news") and loaded(c)
  end)
  step("three tabs titled: " .. browser.find(c).title)

  browser.select(1)
  browser.navigate(base .. "weather.html")
  wait_for("weather", function() return loaded(a, "Weather") end)
  browser.command("GoBack")
  wait_for("back", function() return loaded(a, "uicontrol start page") end)
  browser.command("GoForward")
  wait_for("forward", function() return loaded(a, "Weather") end)
  step("navigation with back and forward")

  browser.bookmark()
  tm.GetAllFavoriteItems()
  wait_for("bookmark list", function()
    for _, f in ipairs(browser.favorites) do if f.url == base .. "weather.html" then return true end end
  end)
  step("bookmark added and listed")

  browser.close(2)
  tm.GetRecoverLists()
  wait_for("recover list", function()
    for _, e in ipairs(browser.closed) do if e.name == "Local news" then return true end end
  end)
  local index
  for i, e in ipairs(browser.closed) do if e.name == "Local news" then index = i end end
  local restored = browser.restore(index)
  wait_for("restored tab", function() return loaded(restored, "Local news") end)
  step("tab closed and restored")

  -- A restored tab leaves the closed list; an address closed twice is kept once. (The
  -- library sends no list at all while it is empty: the list is asked again until it shows.)
  local function entries(name)
    local found = {}
    for _, e in ipairs(browser.closed) do if e.name == name then found[#found + 1] = e.uuid end end
    return found
  end
  local function closed_list_until(what, pred)
    wait_for(what, function()
      if pred() then return true end
      tm.GetRecoverLists()
      scenario.pause(200)
      return pred()
    end)
  end
  local x = browser.open(base .. "notes.html")
  local y = browser.open(base .. "notes.html")
  wait_for("two notes pages", function() return loaded(x) and loaded(y) end)
  local notes = browser.find(x).title
  browser.close(select(2, browser.find(x)))
  closed_list_until("the first notes page kept", function() return #entries(notes) >= 1 end)
  local first = entries(notes)[1]
  browser.close(select(2, browser.find(y)))
  closed_list_until("the second notes page kept", function() return entries(notes)[1] ~= first end)
  if #entries(notes) ~= 1 then error("an address closed twice is kept " .. #entries(notes) .. " times", 0) end
  if #entries("Local news") ~= 0 then error("the restored tab is still in the closed list", 0) end
  step("the closed list holds each address once")

  -- The scenario's own listeners go first, so that it sees what they noted when the
  -- event resumes it.
  -- A reload: the library forgets the title on BEFORENAVIGATE, and the same title comes back.
  local reloading = false
  table.insert(browser.listeners, 1, function(kind, id, key)
    if kind == "tab" and id == a and key == "BEFORENAVIGATE" then reloading = true end
  end)
  tm.Refresh(a)
  wait_for("the reload to begin", function() return reloading end)
  wait_for("the reloaded title", function() return loaded(a, "Weather") end)
  step("reload keeps the title")

  -- Pictures of a tab behind the current one: the same twice, then another when zoomed.
  local saved = {}
  table.insert(browser.listeners, 1, function(kind, id, key, value)
    if kind == "tab" and id == a and key == "STATEXTCHANGED" then
      local path = tostring(value):match("Saved ([^\n]+%.png)")
      if path then saved[#saved + 1] = path end
    end
  end)
  local function picture()
    local before = #saved
    if not tm.SaveWebToImage(a) then error("SaveWebToImage was refused", 0) end
    wait_for("a saved picture", function() return #saved > before end)
    local file = io.open(saved[#saved], "rb")
    if not file then error("no picture at " .. saved[#saved], 0) end
    local bytes = file:read("*a")
    file:close()
    return bytes
  end
  if browser.current == a then error("the weather tab should be behind another", 0) end
  local plain = picture()
  if #plain < 100 or plain ~= picture() then error("two pictures of an unchanged page differ", 0) end
  step("picture of a background tab saved")

  local zoomed = false
  table.insert(browser.listeners, 1, function(kind, key, value)
    if kind == "setting" and key == "page.size" and tostring(value) == "150" then zoomed = true end
  end)
  tm.SetWebZoom(0, 150)
  wait_for("zoom", function() return tm.GetWebZoom(0) == 150 and zoomed end)
  step("zoom stored")
  if picture() == plain then error("the zoom did not change the picture", 0) end
  step("zoom changes the picture")

  -- A renderer that dies comes back in its tab on reload.
  local crashed = false
  table.insert(browser.listeners, 1, function(kind, id, key)
    if kind == "tab" and id == a and key == "PROCESSCRASH" then crashed = true end
  end)
  tm.Navigate(a, "chrome://crash")
  wait_for("the crash", function() return crashed end)
  tm.Refresh(a)
  wait_for("the page back", function() return loaded(a, "Weather") end)
  step("a crashed tab comes back on reload")
end

local second_run = function()
  -- The first run's open tabs are its saved session, not closed tabs.
  local index
  for i, t in ipairs(browser.last_session()) do if t.title == "Weather" then index = i end end
  if not index then error("the first run's weather tab is not in its session", 0) end
  tm.GetRecoverLists()
  scenario.pause(500)
  for _, e in ipairs(browser.closed) do
    if e.name == "Weather" then error("a tab open at the end is in the closed list", 0) end
  end
  local zoom = tm.GetWebZoom(0)
  if zoom ~= 150 then error("zoom was not kept: " .. zoom, 0) end
  -- The served pages keep their addresses: a tab of the first run opens again.
  local restored = browser.reopen_session_tab(index)
  wait_for("the restored weather tab", function() return loaded(restored, "Weather") end)
  step("the first run's tabs can be restored")
end

scenario.run(browser, function()
  tm.GetAllSearchLists()
  if host.args[1] == "second" then second_run() else first_run() end
end)
