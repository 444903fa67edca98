-- The addresses offered while an address is typed: bookmarks, closed tabs, the current
-- tab's history, the open tabs, the pages seen in this run and the last run's tabs.
return function(browser)
  -- Every known address once, sorted; `more` (a list) adds a face's own.
  function browser.known_addresses(more)
    local seen, list = {}, {}
    local function add(url)
      if url and url ~= "" and not seen[url] then
        seen[url] = true
        list[#list + 1] = url
      end
    end
    for _, f in ipairs(browser.favorites) do add(f.url) end
    for _, e in ipairs(browser.closed) do add(e.url) end
    for _, h in ipairs(browser.history) do add(h.url) end
    for _, t in ipairs(browser.tabs) do add(t.url) end
    for url in pairs(browser.visited) do add(url) end
    for _, t in ipairs(browser.last_session()) do add(t.url) end
    for _, url in ipairs(more or {}) do add(url) end
    table.sort(list)
    return list
  end

  -- The known addresses that start with `word`, with or without their scheme ("news"
  -- finds http://host/news.html as host/news.html).
  function browser.complete_address(word, more)
    local out, seen = {}, {}
    local function offer(candidate)
      if candidate and candidate ~= "" and not seen[candidate] and candidate:sub(1, #word) == word then
        seen[candidate] = true
        out[#out + 1] = candidate
      end
    end
    for _, url in ipairs(browser.known_addresses(more)) do
      offer(url)
      offer(url:match("^%a+://(.*)$"))
    end
    return out
  end
end
