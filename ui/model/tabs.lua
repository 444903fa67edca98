-- The tabs: opening, selecting, closing and moving them, the closed tabs kept in the
-- store, page commands on the current tab, and bookmarks.
return function(browser)
  local tm = browser.tm

  -- A tab at the end of the strip; a background one leaves the current tab as it is.
  local function add(id, title, url, key, background)
    browser.tabs[#browser.tabs + 1] = {id = id, title = title, url = url, progress = 0, key = key}
    if not background or not browser.current then browser.current = id end
    browser.changed("tabs")
    browser.session_arm()
    return id
  end

  function browser.open(url)
    local id = tm.AddTab(url, browser.current or 0)
    if id == 0 then
      browser.say("could not open " .. url)
      return nil
    end
    return add(id, url, url)
  end

  -- A window a page opened: a tab of its own after the page's; `background`: a link the
  -- user opened behind the current tab.
  function browser.open_child(parent, background)
    local child = tm.AddLinkTab("", parent)
    if child ~= 0 then return add(child, "(new window)", "", nil, background) end
  end

  function browser.select(n)
    local tab = browser.tabs[n]
    if not tab then return browser.say("no tab " .. tostring(n) .. " (tabs 1 to " .. #browser.tabs .. ")") end
    if browser.hinting and browser.hinting.tab ~= tab.id then browser.leave_hints() end
    browser.current = tab.id
    tm.SelectTab(tab.id)
    browser.changed("tabs")
  end

  -- The tab `delta` places from the current one, going round at either end.
  function browser.select_relative(delta)
    if #browser.tabs == 0 then return end
    local _, index = browser.find(browser.current or 0)
    browser.select(((index or 1) - 1 + delta) % #browser.tabs + 1)
  end

  function browser.close(n)
    local tab, index
    if n then tab, index = browser.tabs[n], n else tab, index = browser.find(browser.current or 0) end
    if not tab then return browser.say(n and ("no tab " .. n) or "no tab to close") end
    browser.session_closing(tab.id)
    tm.CloseTab(tab.id)
    table.remove(browser.tabs, index)
    if browser.current == tab.id then
      local next = browser.tabs[index] or browser.tabs[index - 1]
      browser.current = next and next.id or nil
    end
    browser.changed("tabs")
    browser.session_arm()
  end

  -- Moves tab `id` to place `index` (1 = first).
  function browser.move(id, index)
    local tab, from = browser.find(id)
    if not tab then return end
    table.remove(browser.tabs, from)
    table.insert(browser.tabs, math.max(1, math.min(index, #browser.tabs + 1)), tab)
    browser.changed("tabs")
  end

  -- Reopens a kept tab by its uuid (the entry leaves the recover list once it is open);
  -- `url`, when known, is where it comes back to.
  function browser.reopen(uuid, name, url)
    local id = tm.RestoreTab(uuid)
    if id == 0 then return browser.say("could not restore " .. browser.clean(name)) end
    return add(id, browser.clean(name), url or "", uuid)
  end

  function browser.restore(n)
    local entry = browser.closed[n]
    if not entry then return browser.say("no closed tab " .. tostring(n)) end
    -- Gone from the list at once: restoring the same number twice never opens it twice.
    table.remove(browser.closed, n)
    local id = browser.reopen(entry.uuid, entry.name)
    tm.GetRecoverLists()
    return id
  end

  -- Runs a page command on the current tab.
  function browser.command(name, ...)
    if not browser.current then return browser.say("no tab open") end
    local ok = tm[name](browser.current, ...)
    local tab = browser.find(browser.current)
    if tab and (name == "Refresh" or name == "Navigate") then tab.crashed = nil end
    if ok == false then browser.say(name .. " was refused") end
    return ok
  end

  -- Ends the page of tab `id` (the current one by default), one that no longer responds:
  -- the tab shows a crashed page until its next command brings it back.
  function browser.stop_page(id)
    local tab = browser.find(id or browser.current or 0)
    if not tab then return browser.say("no tab open") end
    if tab.crashed then return browser.say("the page has ended already; reload brings it back") end
    return browser.order(tab.id, {CMD = "STOPPAGE"})
  end

  function browser.navigate(input)
    local url, why = browser.address(input)
    if not url then return browser.say(why) end
    if not browser.current then return browser.open(url) end
    return browser.command("Navigate", url)
  end

  -- The home page in the current tab (a new one when none is open).
  function browser.go_home()
    if not browser.current then return browser.open(browser.home_page()) end
    return browser.command("Navigate", browser.home_page())
  end

  function browser.bookmark()
    local tab = browser.find(browser.current or 0)
    if not tab then return browser.say("no tab open") end
    if (tab.url or "") == "" then return browser.say("this page has no address yet: nothing bookmarked") end
    for _, f in ipairs(browser.favorites) do
      if f.url == tab.url then return browser.say("already bookmarked: " .. tab.url) end
    end
    if tm.AddFavoriteItem(-1, tab.url, tab.title, "") then
      browser.favorites[#browser.favorites + 1] = {title = tab.title, url = tab.url}
      tm.GetAllFavoriteItems()
      browser.say("bookmarked " .. tab.url)
    else
      browser.say("this page cannot be bookmarked")
    end
  end

  function browser.delete_bookmark(n)
    local item = browser.favorites[n]
    if not item or not item.id or not tm.DeleteFavoriteItem(item.id) then
      return browser.say("could not delete bookmark " .. n)
    end
    table.remove(browser.favorites, n)
    tm.GetAllFavoriteItems()
    browser.say("deleted bookmark " .. n .. ": " .. browser.clean(item.url))
  end

  -- Renames bookmark `n` or changes its address: the store has no change of an item, so
  -- it is stored anew (at the end of the list) in place of the old one.
  function browser.change_bookmark(n, title, url)
    local item = browser.favorites[n]
    title, url = browser.clean(title or ""), browser.clean(url or "")
    if not item or not item.id or url:match("^%s*$") then
      return browser.say("could not change bookmark " .. tostring(n))
    end
    if title == item.title and url == item.url then return end
    if not tm.DeleteFavoriteItem(item.id) or not tm.AddFavoriteItem(-1, url, title, "") then
      return browser.say("could not change bookmark " .. n)
    end
    table.remove(browser.favorites, n)
    browser.favorites[#browser.favorites + 1] = {title = title, url = url}
    tm.GetAllFavoriteItems()
    browser.say("changed bookmark: " .. title)
  end
end
