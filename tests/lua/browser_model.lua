-- The browser model both interfaces share (ui/browser.lua and ui/model/): orders sent to
-- pages, the start with the last run's tabs and the restore setting, the home page kept
-- in the store, finding words in a page, and a page that does not respond.
local tm = App.TabManagerInstance()
test.bind_main(test.new_window())

local profile = os.tmpname()
os.remove(profile)
os.execute("mkdir -p '" .. profile .. "'")
local sent

-- A fresh model over a host table as the programs fill it.
local function fresh(fields)
  sent = {}
  host = {base_url = "http://127.0.0.1:9/", home = "http://127.0.0.1:9/", profile = profile, session = {},
          restore = false}
  function host.order(id, text) sent[#sent + 1] = text return true end
  for k, v in pairs(fields or {}) do host[k] = v end
  for name in pairs(package.loaded) do
    if name == "browser" or name:match("^model%.") then package.loaded[name] = nil end
  end
  local browser = require("browser")
  browser.tabs, browser.current = {}, nil
  return browser
end

local last_run = {{uuid = "u-1", title = "One", url = "http://127.0.0.1:9/one.html"},
                  {uuid = "u-2", title = "", url = "http://127.0.0.1:9/two.html"}}

case("orders are written by the library's rules and refused when a value would add a line", function()
  local browser = fresh()
  local id = browser.open("http://a.test/")
  ok(browser.order(id, {TEXT = "a=b", CMD = "FIND"}))
  eq(sent[#sent], "CMD=FIND\nTEXT=a=b\n", "names ascending")
  local count = #sent
  eq(browser.order(id, {CMD = "FIND", TEXT = "x\nCMD=CLOSE"}), false)
  eq(browser.order(id, {CMD = "FIND", TEXT = "x\0y"}), false)
  eq(#sent, count, "nothing was sent")
  ok(browser.messages[#browser.messages]:find("order not sent", 1, true))
  ok(browser.order(id, {CMD = "FIND", TEXT = "x\nCMD=CLOSE\r\0"}, true))
  eq(sent[#sent], "CMD=FIND\nTEXT=x CMD=CLOSE \n", "typed words are made one line")
  -- Event values read as the library reads them: a line of one character ends the text.
  eq(browser.values("URL=u\n\195\169\nTITLE=t\n").TITLE, nil)
  eq(browser.values("URL=u\nTITLE=a=b\n").TITLE, "a=b")
end)

case("a start offers the last run's tabs, or reopens them with --restore or the setting always", function()
  tm.SetValue("restore.tabs", "")
  local browser = fresh({session = last_run})
  eq(browser.restore_setting(), "ask", "the default")
  local outcome, count = browser.start()
  eq(outcome, "offered")
  eq(count, 2)
  eq(#browser.tabs, 1, "the home page opened instead")
  eq(#browser.last_session(), 2, "still offered")
  eq(browser.reopen_session(), 2)
  eq(#browser.tabs, 2, "the unused start page made way for them")
  eq(#browser.last_session(), 0, "reopened once")

  browser = fresh({session = last_run, restore = true})
  eq(browser.start(), "reopened")
  eq(#browser.tabs, 2, "no home page beside them")

  browser = fresh({session = last_run})
  ok(browser.set_restore_setting("always"))
  eq(browser.set_restore_setting("sometimes"), false)
  eq(tm.GetValue("restore.tabs"):str(), "always", "kept in the store")
  browser = fresh({session = last_run})
  eq(browser.start("two.html"), "reopened")
  eq(browser.tabs[#browser.tabs].url, "http://127.0.0.1:9/two.html", "and the address asked for")

  browser = fresh()
  eq(browser.start(), nil, "nothing to offer")
  eq(#browser.tabs, 1)
end)

-- The session functions of the host, recorded: what the model tells the saved session.
local function recording_host(fields)
  local calls = {armed = 0, restored = 0, closing = {}}
  fields = fields or {}
  function fields.session_tabs(list, selected) calls.tabs, calls.selected = list, selected end
  function fields.session_arm() calls.armed = calls.armed + 1 end
  function fields.session_closing(id) calls.closing[#calls.closing + 1] = id end
  function fields.session_restored() calls.restored = calls.restored + 1 end
  return fields, calls
end

case("how the last run ended decides the start, and only the user's changes arm the saved session", function()
  tm.SetValue("restore.tabs", "")
  local starts = {
    -- host fields, outcome, tabs open after the start, armed, restored
    {{}, "offered", 1, false, 0},
    {{unclean_end = true}, "offered after a crash", 1, false, 0},
    {{unclean_end = true, restore = true}, "reopened", 2, true, 1},
    {{unclean_end = true, crash_loop = true, restore = true}, "listed after repeated crashes", 1, false, 0},
  }
  for _, c in ipairs(starts) do
    local fields, calls = recording_host(c[1])
    fields.session = {last_run[1], last_run[2]}
    local browser = fresh(fields)
    local label = c[2]
    eq(browser.start(), c[2], label)
    eq(#browser.tabs, c[3], label .. ": tabs")
    eq(calls.armed > 0, c[4], label .. ": armed")
    eq(calls.restored, c[5], label .. ": restored")
    eq(#calls.tabs, #browser.tabs, label .. ": the host knows every tab")
  end

  -- The selected tab of the last run is selected again; reopened tabs carry their key.
  local fields, calls = recording_host({session_selected = 1})
  fields.session = {last_run[1], last_run[2]}
  local browser = fresh(fields)
  eq(browser.reopen_session(), 2)
  eq(browser.current, browser.tabs[1].id, "the one that was selected")
  eq(calls.selected, browser.tabs[1].id)
  eq(calls.tabs[2].key, "u-2")
  eq(calls.tabs[2].url, "http://127.0.0.1:9/two.html")

  -- One tab of the list, then closing: the host hears of the close before the page does.
  fields, calls = recording_host({crash_loop = true, unclean_end = true})
  fields.session = {last_run[1], last_run[2]}
  browser = fresh(fields)
  browser.start()
  eq(calls.armed, 0)
  browser.reopen_session_tab(2)
  eq(#browser.last_session(), 1, "the other one is still offered")
  eq(browser.tabs[#browser.tabs].key, "u-2")
  ok(calls.armed > 0, "a reopened tab arms")
  local closing = browser.tabs[1].id
  browser.close(1)
  eq(calls.closing[1], closing)
  eq(#calls.tabs, 1)
end)

case("the restore setting of an earlier version's file is read until the store has one", function()
  tm.SetValue("restore.tabs", "")
  local file = io.open(profile .. "/restore-tabs", "w")
  file:write("always\n")
  file:close()
  eq(fresh().restore_setting(), "always")
  tm.SetValue("restore.tabs", "ask")
  eq(fresh().restore_setting(), "ask", "the store wins")
  tm.SetValue("restore.tabs", "garbage")
  os.remove(profile .. "/restore-tabs")
  os.remove(profile)
  eq(fresh().restore_setting(), "ask", "a value it does not know is the default")
end)

case("the home page is one store setting, else the program's own", function()
  tm.SetValue("homepage", "")
  local browser = fresh()
  eq(browser.home_page(), "http://127.0.0.1:9/")
  eq(browser.set_home_page("  three.html "), "http://127.0.0.1:9/three.html")
  eq(tm.GetValue("homepage"):str(), "http://127.0.0.1:9/three.html")
  browser = fresh()
  eq(browser.home_page(), "http://127.0.0.1:9/three.html", "read by the next start")
  browser.open("http://a.test/")
  browser.go_home()
  test.drain()  -- the navigation order leaves from the library's worker
  eq(test.orders(test.pages())[2], "CMD=NAVIGATE\nURL=http://127.0.0.1:9/three.html\n")
  eq(browser.set_home_page(""), "http://127.0.0.1:9/", "empty: the program's own again")
end)

case("find: the same words go on to the next match and wrap, new words start over", function()
  local browser = fresh()
  local id = browser.open("http://find.test/")
  local function answer(count) browser.on_tab(id, "FINDRESULT", string.format("COUNT=%x\n", count)) end
  local function at() return browser.finding.at .. "/" .. browser.finding.count end
  eq(browser.search_in_page(""), false, "nothing to find yet")
  ok(browser.search_in_page("the"))
  eq(sent[#sent], "CMD=FIND\nTEXT=the\n")
  answer(3)
  eq(at(), "1/3")
  for _, want in ipairs({"2/3", "3/3", "1/3"}) do
    browser.search_in_page("the")
    answer(3)
    eq(at(), want)
  end
  browser.search_in_page("")
  answer(3)
  eq(at(), "2/3", "no words: the last ones")
  browser.search_in_page("word")
  browser.search_in_page("word")  -- again before the page answered: still the first
  answer(2)
  eq(at(), "1/2")
  browser.on_tab(id + 1000, "FINDRESULT", "COUNT=9\n")
  eq(at(), "1/2", "another tab's answer changes nothing")
  browser.search_in_page("none")
  answer(0)
  eq(at(), "0/0")
end)

case("find: back goes round the matches forward to the one before; older words' answers are dropped", function()
  local browser = fresh()
  local id = browser.open("http://find.test/")
  local function answer(count, words)
    browser.on_tab(id, "FINDRESULT", string.format("COUNT=%x\nTEXT=%s\n", count, words))
  end
  local function at() return browser.finding.at .. "/" .. browser.finding.count end
  eq(browser.find_previous(), false, "nothing found yet")
  browser.search_in_page("ban")
  browser.search_in_page("bana")
  answer(7, "ban")
  ok(browser.finding.pending, "the answer for the words typed before does not count")
  answer(4, "bana")
  eq(at(), "1/4")
  local before = #sent
  ok(browser.find_previous())
  eq(#sent - before, 3, "three steps forward of four matches")
  eq(browser.find_previous(), false, "not again while the page answers")
  for _ = 1, 2 do answer(4, "bana") eq(at(), "1/4", "not there yet") end
  answer(4, "bana")
  eq(at(), "4/4")
  ok(browser.find_previous())
  for _ = 1, 3 do answer(4, "bana") end
  eq(at(), "3/4")
end)

case("hint mode: the keys go to the page's labels until it says they are over; a link opened behind stays behind", function()
  local browser = fresh()
  local first = browser.open("http://a.test/")
  local other = browser.open("http://b.test/")
  browser.select(1)
  eq(browser.hint_key("a"), false, "no hint mode, no key sent")
  ok(browser.show_hints(true, "F"))
  eq(sent[#sent], "CMD=SHOWHINTS\nKEY=F\nNEW=TRUE\n")
  eq(browser.show_hints(false, "f") and browser.hinting.new, false, "shown again, now for this tab")
  browser.on_tab(first, "HINTS", "COUNT=c\nTYPED=\n")
  eq(browser.hinting.count, 12)
  ok(browser.hint_key("S"))
  eq(sent[#sent], "CMD=HINTKEY\nKEY=S\n")
  browser.on_tab(other, "HINTS", "COUNT=0\nTYPED=\n")
  eq(browser.hinting.count, 12, "another tab's answer changes nothing")
  browser.on_tab(first, "HINTS", "COUNT=0\nTYPED=sd\n")
  eq(browser.hinting, nil, "followed")
  -- A field had the keyboard: no hint mode and nothing to say; no element: said so.
  local said = #browser.messages
  browser.show_hints(false, "f")
  browser.on_tab(first, "HINTS", "COUNT=0\nEDITING=TRUE\nTYPED=\n")
  eq(browser.hinting, nil)
  eq(#browser.messages, said)
  browser.show_hints(false, "f")
  browser.on_tab(first, "HINTS", "COUNT=0\nTYPED=\n")
  eq(#browser.messages, said + 1)
  -- Esc, another tab or a new document end hint mode.
  browser.show_hints(false, "f")
  browser.leave_hints()
  eq(sent[#sent], "CMD=HIDEHINTS\n")
  browser.show_hints(false, "f")
  browser.select(2)
  eq(browser.hinting, nil)
  eq(sent[#sent], "CMD=HIDEHINTS\n")
  browser.show_hints(false, "f")
  browser.on_tab(other, "BEFORENAVIGATE", "URL=http://c.test/\n")
  eq(browser.hinting, nil)
  -- A window opened behind the current tab (no page waits here: nothing is added).
  local count = #browser.tabs
  browser.on_tab(other, "NEWINDOW", "BACKGROUND=TRUE\nURL=http://d.test/\n")
  eq(browser.current, other)
  ok(#browser.tabs == count or browser.tabs[#browser.tabs].id ~= browser.current)
end)

case("a page that does not respond: marked, not asked, its waits given up, stopped; a wait ends at its deadline", function()
  local timers = {}
  local browser = fresh({after = function(ms, fn) timers[#timers + 1] = {ms = ms, fn = fn} end})
  local id = browser.open("http://a.test/")
  local tab = browser.find(id)
  local got = 0
  local function last_said(text) return browser.messages[#browser.messages]:find(text, 1, true) ~= nil end

  -- A page that never answers: the wait ends after the deadline with a message.
  browser.want_text(id, function() got = got + 1 end)
  eq(sent[#sent], "CMD=GETTEXT\n")
  eq(timers[#timers].ms, browser.answer_deadline * 1000)
  timers[#timers].fn()
  eq(tab.waiting, nil)
  ok(last_said("did not answer within 30 s"), browser.messages[#browser.messages])
  -- An answer before the deadline: the deadline then says nothing.
  browser.want_text(id, function() got = got + 1 end)
  browser.on_tab(id, "PAGETEXT", "TEXT=hello\\n\nTITLE=A\nURL=http://a.test/\n")
  eq(got, 1)
  local said = #browser.messages
  timers[#timers].fn()
  eq(#browser.messages, said)

  -- Reported: a wait is given up at once, and the page is not asked again meanwhile.
  tab.text = nil
  browser.want_text(id, function() got = got + 1 end)
  browser.on_tab(id, "PAGEUNRESPONSIVE", "SECONDS=5.2\n")
  eq(tab.unresponsive, 5.2)
  eq(tab.waiting, nil)
  ok(last_said("gave up reading the page"), browser.messages[#browser.messages])
  local orders = #sent
  browser.want_text(id, function() got = got + 1 end)
  eq(#sent, orders, "no GETTEXT to a page that does not respond")
  ok(last_said("cannot be read now"))
  -- A bad value changes nothing; SECONDS=0: it answers again.
  browser.on_tab(id, "PAGEUNRESPONSIVE", "SECONDS=soon\n")
  eq(tab.unresponsive, 5.2)
  ok(last_said("left out"))
  browser.on_tab(id, "PAGEUNRESPONSIVE", "SECONDS=0\n")
  eq(tab.unresponsive, nil)

  -- Stopped: STOPPAGE, then the crash clears the mark; a crashed page is not stopped again.
  browser.on_tab(id, "PAGEUNRESPONSIVE", "SECONDS=6\n")
  ok(browser.stop_page(id))
  eq(sent[#sent], "CMD=STOPPAGE\n")
  browser.on_tab(id, "PROCESSCRASH", "STATUS=crashed\n")
  eq(tab.unresponsive, nil)
  orders = #sent
  browser.stop_page(id)
  eq(#sent, orders)
  ok(last_said("ended already"))
  eq(got, 1)
end)
