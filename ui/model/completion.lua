-- The addresses offered while an address is typed: bookmarks, closed tabs, the current
-- tab's history, the open tabs, the pages seen in this run and the last run's tabs. Each
-- address is offered once (with or without its scheme and a lone trailing slash it is
-- the same address), and one that failed to load in this run is not offered.
return function(browser)
  browser.failed = {}  -- addresses whose load failed in this run: url -> true

  -- The same address however it was written: no scheme, no "www.", no lone "/" at the end.
  function browser.address_key(url)
    local key = url:lower():gsub("^https?://", ""):gsub("^www%.", "")
    if key:match("^[^/]+/$") then key = key:sub(1, -2) end
    return key
  end

  table.insert(browser.listeners, function(kind, id, key, value)
    if kind ~= "tab" then return end
    local url = value and browser.values(value).URL
    if not url then return end
    if key == "NAVIGATEERROR" then browser.failed[browser.address_key(url)] = true end
    if key == "NAVIGATECOMPLETE" then browser.failed[browser.address_key(url)] = nil end
  end)

  -- Every known address once, sorted; `more` (a list) adds a face's own.
  function browser.known_addresses(more)
    local seen, list = {}, {}
    local function add(url)
      if not url or url == "" then return end
      local key = browser.address_key(url)
      if seen[key] or browser.failed[key] then return end
      seen[key] = true
      list[#list + 1] = url
    end
    for _, f in ipairs(browser.favorites) do add(f.url) end
    for _, e in ipairs(browser.closed) do add(e.url) end
    for _, h in ipairs(browser.history) do add(h.url) end
    for _, t in ipairs(browser.tabs) do if not t.failed then add(t.url) end end
    local visited = {}
    for url in pairs(browser.visited) do visited[#visited + 1] = url end
    table.sort(visited)
    for _, url in ipairs(visited) do add(url) end
    for _, t in ipairs(browser.last_session()) do add(t.url) end
    for _, url in ipairs(more or {}) do add(url) end
    table.sort(list)
    return list
  end

  -- The known addresses that start with `word`, each once: written as the word is (with
  -- its scheme when the word has one, else without: "news" finds host/news.html).
  function browser.complete_address(word, more)
    local out = {}
    local with_scheme = word:match("^%a[%w+.-]*:") ~= nil
    for _, url in ipairs(browser.known_addresses(more)) do
      local bare = url:match("^https?://(.*)$")
      local candidate = (with_scheme or not bare) and url or bare
      if candidate:sub(1, #word) == word then
        out[#out + 1] = candidate
      elseif not with_scheme and bare and bare:sub(1, #word) ~= word and url:sub(1, #word) == word then
        out[#out + 1] = url
      end
    end
    return out
  end
end
