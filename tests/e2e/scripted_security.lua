-- A scripted user interface for the shell's end-to-end test of what web content may do.
-- host.args: [1] the folder of the default interface, [2] the base URL of the same test
-- pages on a second, untrusted origin. The shell serves them itself (host.base_url):
-- those are the browser's own, trusted pages. Prints "STEP ..." lines and "SCRIPT OK" or
-- "SCRIPT FAIL: <reason>", then quits.
package.path = host.args[1] .. "/?.lua;" .. package.path
local browser = require("browser")
local untrusted = host.args[2]
local here = debug.getinfo(1, "S").source:match("^@(.*)/[^/]*$") or "."
package.path = here .. "/?.lua;" .. package.path
local scenario = require("scenario")
local step, wait_for, pause = scenario.step, scenario.wait_for, scenario.pause

-- What reached the host, per kind.
local dialogs = {}      -- {key, data} of the favourite dialog notifications
local closes = {}       -- tab id -> CLOSEWNDNOTIFTY count
local titles = {}       -- tab id -> TITLECHANGE count
local known = {}        -- tab id -> the page it was opened for
table.insert(browser.listeners, function(kind, a, b, c)
  if kind == "data" and (a == "ShowEditFavoriteDialog" or a == "ShowAddFavoriteDialog") then
    dialogs[#dialogs + 1] = {key = a, data = b}
  elseif kind == "tab" and b == "CLOSEWNDNOTIFTY" then
    closes[a] = (closes[a] or 0) + 1
  elseif kind == "tab" and b == "TITLECHANGE" then
    titles[a] = (titles[a] or 0) + 1
  end
end)

local function title_of(id)
  local tab = browser.find(id)
  return tab and tab.title
end

local run = function()
  -- The page of the report, from a second origin: nothing it asks for reaches the host.
  local a = browser.open(untrusted .. "drive.html")
  known[a] = "untrusted"
  wait_for("the untrusted page", function() return title_of(a) == "host=undefined api=undefined" end)
  pause(1500)
  if #dialogs > 0 then error("an untrusted page opened " .. dialogs[1].key .. ": " .. dialogs[1].data, 0) end
  if closes[a] then error("an untrusted page closed its tab", 0) end
  if not browser.find(a) then error("the untrusted tab is gone", 0) end
  step("untrusted page: no dialog, no close, no binding")

  -- The same page served by the shell itself: the browser's own pages may.
  local b = browser.open(host.base_url .. "drive.html")
  known[b] = "trusted"
  wait_for("the trusted page's dialog and close", function() return #dialogs >= 1 and closes[b] end)
  local edit = dialogs[1]
  if edit.key ~= "ShowEditFavoriteDialog" or edit.data ~= "id=1\npid=0\ntitle=My Bank\nurl=http://phish.example/\n" then
    error("unexpected dialog " .. edit.key .. ": " .. edit.data, 0)
  end
  step("trusted page: edit dialog and close")

  -- A page that sets its title 10,000 times: the host stays responsive and gets the last one.
  local opened = os.time()
  local c = browser.open(untrusted .. "flood.html")
  known[c] = "flood"
  wait_for("the flooding page", function() local t = browser.find(c) return t and t.progress == 100 end)
  local started = os.time()
  local d = browser.open(untrusted .. "quiet.html")
  wait_for("another page while one floods", function() return title_of(d) == "Quiet" end)
  if os.time() - started > 20 then error("the host was slow while a page flooded its title", 0) end
  step("another page loads while one floods its title")
  wait_for("the last title", function() return title_of(c) == "last title" end)
  -- At most one title per 250 ms (os.time counts whole seconds), plus the first, the
  -- last and the document's own; the page set 10,000.
  local allowed = math.min((os.time() - opened + 2) * 4 + 4, 200)
  pause(1000)
  if title_of(c) ~= "last title" then error("the last title was replaced by " .. tostring(title_of(c)), 0) end
  if (titles[c] or 0) > allowed then error("the host got " .. titles[c] .. " title changes", 0) end
  step("flood: last title delivered after " .. (titles[c] or 0) .. " title changes")
end

scenario.run(browser, run)
