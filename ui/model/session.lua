-- The tabs of the last run (host.session, read by the host from the profile) and the
-- rule for a start: with --restore or the setting "always" they reopen; otherwise they are
-- offered and stay until the user reopens them or opens them another way.
return function(browser)
  function browser.last_session()
    return host.session or {}
  end

  -- Reopens every tab of the last run (once: the list is empty afterwards); their number.
  function browser.reopen_session()
    local tabs = browser.last_session()
    host.session = {}
    for _, t in ipairs(tabs) do browser.reopen(t.uuid, t.title ~= "" and t.title or t.url) end
    browser.changed("session", 0)
    return #tabs
  end

  -- What a start does: asks the store for its lists, then reopens the last run's tabs
  -- or offers them, and opens `start_url` (an address as typed) or, when no tab is open
  -- then, the home page. Returns "reopened" or "offered" (or nil) and the number of tabs.
  function browser.start(start_url)
    browser.tm.GetAllSearchLists()
    browser.tm.GetRecoverLists()
    browser.tm.GetAllFavoriteItems()
    local last = #browser.last_session()
    local outcome
    if last > 0 and (host.restore or browser.restore_setting() == "always") then
      browser.reopen_session()
      outcome = "reopened"
    elseif last > 0 then
      outcome = "offered"
      browser.changed("session", last)
    end
    if start_url and start_url ~= "" then
      browser.open(browser.address(start_url) or "about:blank")
    elseif #browser.tabs == 0 then
      browser.open(browser.home_page())
    end
    return outcome, last
  end
end
