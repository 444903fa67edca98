-- Finding words in the current page: the page counts the matches (FIND, answered by
-- FINDRESULT); the same words again go on to the next match, wrapping around, as a find
-- bar's Enter does; new words start at the first.
local keyvalue = require("model.keyvalue")

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

  -- Goes to the match before the one shown: the page only goes forward, so it goes
  -- forward round the matches to the one before. False when there is none to go to.
  function browser.find_previous()
    local f = browser.finding
    if not f or f.pending or f.id ~= browser.current or f.count < 1 then return false end
    if f.count == 1 then return true end
    local steps = f.count - 1
    if steps > 500 then return false, "too many matches to go back" end
    for _ = 1, steps do
      if not browser.order(f.id, {CMD = "FIND", TEXT = f.words}, true) then return false end
    end
    f.pending = {back = steps, at = (f.at - 2) % f.count + 1}
    return true
  end

  -- The page's answer: the count, and which match is shown now.
  function browser.on_find_result(id, values)
    local f = browser.finding
    if not f or f.id ~= id then return end
    -- An answer for words typed before (the bar searches as they are typed) is old.
    if values.TEXT and values.TEXT ~= keyvalue.single_line(f.words) then return end
    if f.pending and f.pending.back then
      f.pending.back = f.pending.back - 1
      if f.pending.back > 0 then return end
      f.at = f.pending.at
    end
    local count = tonumber(values.COUNT or "0", 16) or 0
    local same = f.pending and f.pending.same
    local back = f.pending and f.pending.back
    f.pending, f.count = nil, count
    if count <= 0 then f.at = 0
    elseif same then f.at = f.at % count + 1
    elseif not back then f.at = 1
    else f.at = math.min(f.at, count) end
    browser.changed("find", id)
  end

  function browser.stop_finding()
    browser.finding = nil
    browser.changed("find", 0)
  end
end
