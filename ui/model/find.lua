-- Finding words in the current page: the page counts the matches (FIND, answered by
-- FINDRESULT); the same words again go on to the next match, wrapping around, as a find
-- bar's Enter does; new words start at the first.
return function(browser)
  -- The last search: {id, words, count, at}; `pending` while the page has not answered.
  browser.finding = nil

  -- Searches `words` in the current tab ("" or nil: the last words again). False when
  -- there is nothing to search or the page cannot be searched.
  function browser.search_in_page(words)
    local tab = browser.find(browser.current or 0)
    if not tab then return false, "no tab open" end
    local last = browser.finding
    words = words or ""
    if words == "" then
      if not last or last.id ~= tab.id then return false, "nothing to find" end
      words = last.words
    end
    local same = last ~= nil and last.id == tab.id and not last.pending and last.words == words
    browser.finding = {id = tab.id, words = words, count = same and last.count or 0,
                       at = same and last.at or 0, pending = {same = same}}
    if not browser.order(tab.id, {CMD = "FIND", TEXT = words}, true) then
      browser.finding = nil
      return false, "this page cannot be searched"
    end
    return true
  end

  -- The page's answer: the count, and which match is shown now.
  function browser.on_find_result(id, values)
    local f = browser.finding
    if not f or f.id ~= id then return end
    local count = tonumber(values.COUNT or "0", 16) or 0
    local same = f.pending and f.pending.same
    f.pending, f.count = nil, count
    if count <= 0 then f.at = 0
    elseif same then f.at = f.at % count + 1
    else f.at = 1 end
    browser.changed("find", id)
  end

  function browser.stop_finding()
    browser.finding = nil
    browser.changed("find", 0)
  end
end
