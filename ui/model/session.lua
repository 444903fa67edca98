-- The session: the last run's tabs (host.session, read by the host from the store's saved
-- session, each with the key its page brings it back by) and the rule for a start, and
-- the host's saved session kept current with the tabs as they change.
--
-- A start reopens the last run's tabs with --restore or the setting "always"; after an
-- unclean end (the browser was killed or crashed) it offers them; and when the run that
-- ended uncleanly had itself restored them within a minute, it offers them one by one
-- instead of restoring them all again (a page that crashes the browser would otherwise
-- crash every start). Nothing is written until the user opens or closes a tab, or the
-- last run's tabs are reopened: a start that only shows the home page keeps them.
return function(browser)
  local tm = browser.tm

  function browser.last_session()
    return host.session or {}
  end

  -- The saved session follows the strip: order, selection, each tab's address.
  local function tell_host()
    if not host.session_tabs then return end
    local list = {}
    for i, t in ipairs(browser.tabs) do list[i] = {id = t.id, url = t.url, private = t.private, key = t.key} end
    host.session_tabs(list, browser.current or 0)
  end
  table.insert(browser.listeners, function(kind)
    if kind == "tabs" then tell_host() end
  end)

  -- The user changed the tabs: from now on the session is this run's.
  function browser.session_arm()
    if not browser.starting and host.session_arm then host.session_arm() end
  end

  -- Tab `id` is being closed by the user: its entries go into the closed list.
  function browser.session_closing(id)
    if host.session_closing then host.session_closing(id) end
  end

  -- Reopens tab n of the last run (it leaves the list); its id.
  function browser.reopen_session_tab(n)
    local tabs = browser.last_session()
    local t = tabs[n]
    if not t then return browser.say("no tab " .. tostring(n) .. " of the last run") end
    table.remove(tabs, n)
    local id = browser.reopen(t.uuid, t.title ~= "" and t.title or t.url, t.url)
    browser.changed("session", #tabs)
    return id
  end

  -- Reopens every tab of the last run (once: the list is empty afterwards) and selects
  -- the one that was selected; their number.
  function browser.reopen_session()
    local tabs = browser.last_session()
    local selected = host.session_selected or 0
    host.session = {}
    local chosen
    for i, t in ipairs(tabs) do
      local id = browser.reopen(t.uuid, t.title ~= "" and t.title or t.url, t.url)
      if i == selected then chosen = id end
    end
    if #tabs > 0 and host.session_restored then host.session_restored() end
    -- The start page the start opened in their place goes, unless it was used.
    local start_tab, index = browser.find(browser.start_tab or 0)
    if start_tab and #tabs > 0 and (start_tab.url == "" or start_tab.url == browser.home_page()) then
      if host.session_closing then host.session_closing(start_tab.id, true) end
      tm.CloseTab(start_tab.id)
      table.remove(browser.tabs, index)
      browser.changed("tabs")
    end
    browser.start_tab = nil
    if chosen then
      local _, index = browser.find(chosen)
      if index then browser.select(index) end
    end
    browser.changed("session", 0)
    return #tabs
  end

  -- What a start does: asks the store for its lists, then reopens the last run's tabs
  -- or offers them, and opens `start_url` (an address as typed) or, when no tab is open
  -- then, the home page. Returns the outcome ("reopened", "offered", "offered after a
  -- crash" or "listed after repeated crashes"; nil when there was nothing) and the number
  -- of tabs.
  function browser.start(start_url)
    tm.GetAllSearchLists()
    tm.GetRecoverLists()
    tm.GetAllFavoriteItems()
    local last = #browser.last_session()
    local outcome
    local wanted = host.restore or browser.restore_setting() == "always"
    if last > 0 and host.crash_loop then
      outcome = "listed after repeated crashes"
      browser.changed("session", last)
    elseif last > 0 and wanted then
      browser.reopen_session()
      outcome = "reopened"
    elseif last > 0 then
      outcome = host.unclean_end and "offered after a crash" or "offered"
      browser.changed("session", last)
    end
    browser.starting = true
    if start_url and start_url ~= "" then
      browser.starting = false
      browser.open(browser.address(start_url) or "about:blank")
    elseif #browser.tabs == 0 then
      browser.start_tab = browser.open(browser.home_page())
    end
    browser.starting = false
    return outcome, last
  end
end
