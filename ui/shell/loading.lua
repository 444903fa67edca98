-- Commands that need a page's text (read, links, find, follow) wait until the page has
-- loaded: a page asked for by a command, or one still under 100%, is waited for, with a
-- deadline after which what is there is used.
local browser = require("browser")

local loading = {deadline = browser.answer_deadline}
local waiters = {}  -- {tab, fn, timed_out}

-- Whether the page of `tab` is there to be read.
local function ready(tab)
  return not tab.expected and ((tab.progress or 0) >= 100 or tab.crashed or tab.failed)
end

-- A command asked the current tab for another page: it is loading from now on, even
-- before the page says so.
function loading.expect(id)
  local tab = browser.find(id or browser.current or 0)
  if not tab then return end
  local mark = {}
  tab.expected = mark
  host.after(loading.deadline * 1000, function()
    if tab.expected ~= mark then return end
    tab.expected = nil
    loading.idle()
  end)
end

local function release()
  local left = {}
  for _, w in ipairs(waiters) do
    if not browser.find(w.tab.id) then
      browser.say("the tab closed before its page loaded")
    elseif ready(w.tab) or w.timed_out then
      w.done = true
      w.fn(w.tab)
    else
      left[#left + 1] = w
    end
  end
  waiters = left
  if #waiters == 0 then loading.idle() end
end

-- Answers a command asked for ("data" key or "find"), until they come.
loading.awaiting = {}
function loading.await(key)
  local mark = {}
  loading.awaiting[key] = mark
  host.after(loading.deadline * 1000, function()
    if loading.awaiting[key] ~= mark then return end
    loading.awaiting[key] = nil
    browser.say("no answer to " .. key .. " after " .. loading.deadline .. " s")
    loading.idle()
  end)
end

-- Says `text` when tab `id` has not started another page within a few seconds (an
-- order that had nowhere to go).
function loading.unless_moved(id, text)
  local tab = browser.find(id)
  if not tab then return end
  local before, key = tab.navigations or 0, "move of tab " .. id
  local mark = {}
  loading.awaiting[key] = mark
  host.after(3000, function()
    if loading.awaiting[key] ~= mark then return end
    loading.awaiting[key] = nil
    if (tab.navigations or 0) == before then
      tab.expected = nil
      browser.say(text)
      browser.changed("loading")
    end
    release()
    loading.idle()
  end)
end

-- Whether a command waits for a page, a page's text or an answer.
function loading.busy()
  if #waiters > 0 or next(loading.awaiting) then return true end
  for _, t in ipairs(browser.tabs) do if t.expected or (t.waiting and #t.waiting > 0) then return true end end
  return false
end

-- Runs `fn(tab)` once the page of `tab` has loaded.
function loading.when_ready(tab, fn)
  if ready(tab) then return fn(tab) end
  local w = {tab = tab, fn = fn}
  waiters[#waiters + 1] = w
  browser.say("waiting for the page to load...")
  host.after(loading.deadline * 1000, function()
    if not w.tab or w.done then return end
    w.timed_out = true
    browser.say(string.format("the page is still loading after %d s; using what is there", loading.deadline))
    release()
    browser.changed("loading")
  end)
end

-- The lines waiting run once every listener has seen the answer they waited for.
local scheduled = false
local function idle()
  if scheduled or not loading.on_idle or loading.busy() then return end
  scheduled = true
  host.after(0, function()
    scheduled = false
    if not loading.busy() then loading.on_idle() end
  end)
end

loading.idle = idle

table.insert(browser.listeners, function(kind, id, key)
  if kind == "data" or kind == "find" then
    loading.awaiting[kind == "find" and "find" or id] = nil
    return idle()
  end
  if kind == "gave_up" then return idle() end
  if kind ~= "tab" then return end
  local tab = browser.find(id)
  if not tab then return release() end
  if key == "BEFORENAVIGATE" or key == "NAVIGATECOMPLETE" then tab.navigations = (tab.navigations or 0) + 1 end
  if key == "BEFORENAVIGATE" then
    tab.failed = nil
  elseif key == "DOCUMENTCOMPLETE" or key == "PROCESSCRASH" or
         (key == "NAVIGATECOMPLETE" and (tab.progress or 0) >= 100) then  -- the same document
    tab.expected = nil
  elseif key == "NAVIGATEERROR" then
    tab.expected, tab.failed = nil, true
  end
  if #waiters > 0 then release() else idle() end
end)

return loading
