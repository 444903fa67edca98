-- What the shell's scripted interfaces share: a scenario that runs as a coroutine and
-- waits for the browser's events, "STEP ..." lines, and "SCRIPT OK" or
-- "SCRIPT FAIL: <reason>" at the end, after which the shell quits.
local scenario = {}
local routine

function scenario.step(text) io.write("STEP ", text, "\n") io.flush() end
function scenario.fail(text) io.write("SCRIPT FAIL: ", text, "\n") io.flush() host.quit(1) end

-- Waits (yielding to the event loop) until pred() holds.
function scenario.wait_for(what, pred)
  while not pred() do
    if coroutine.yield() == "timeout" then error("timed out waiting for " .. what, 0) end
  end
end

function scenario.resume(reason)
  -- Changes made by the scenario itself arrive while it runs: it sees them when it next waits.
  if not routine or coroutine.status(routine) ~= "suspended" then return end
  local ok, err = coroutine.resume(routine, reason)
  if not ok then scenario.fail(tostring(err)) end
end

-- Waits ms milliseconds.
function scenario.pause(ms)
  local done = false
  host.after(ms, function() done = true scenario.resume("pause") end)
  scenario.wait_for("a pause", function() return done end)
end

-- Makes body() the scenario: it starts with the shell, hears every change of `browser`
-- (after the scenario's own listeners), and must end within limit_ms.
function scenario.run(browser, body, limit_ms)
  table.insert(browser.listeners, function() scenario.resume("event") end)
  function OnStart()
    routine = coroutine.create(function()
      body()
      io.write("SCRIPT OK\n")
      io.flush()
      host.quit(0)
    end)
    host.after(limit_ms or 150000, function()
      scenario.resume("timeout")
      scenario.fail("the scenario did not finish in time")
    end)
    scenario.resume("start")
  end
  function OnTabNotify(id, key, value) browser.on_tab(id, key, value) end
  function OnDataNotify(key, data) browser.on_data(key, data) end
  function OnInput(line) end
end

return scenario
