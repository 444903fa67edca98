-- A page's text and source as the page hands them out (PAGETEXT): asked for once, kept
-- on the tab until the page changes, handed to everything that waited for it.
return function(browser)
  -- Seconds a command waits for a page's text before it gives up (a page stuck in a
  -- script answers nothing).
  browser.answer_deadline = 30

  -- Ends every wait for the text of `tab`, saying `why`.
  function browser.give_up_text(tab, why)
    if not tab.waiting then return end
    tab.waiting, tab.waiting_mark = nil, nil
    browser.say(why)
    browser.changed("gave_up", tab.id)
  end

  -- The lines of a PAGETEXT list value: each ends with backslash n, a backslash is doubled.
  function browser.lines(value)
    local lines, line = {}, {}
    local i, n = 1, #value
    while i <= n do
      local c = value:sub(i, i)
      if c == "\\" then
        local e = value:sub(i + 1, i + 1)
        if e == "n" then
          lines[#lines + 1] = table.concat(line)
          line = {}
        else
          line[#line + 1] = e
        end
        i = i + 2
      else
        local stop = value:find("\\", i, true) or n + 1
        line[#line + 1] = value:sub(i, stop - 1)
        i = stop
      end
    end
    if #line > 0 then lines[#lines + 1] = table.concat(line) end
    return lines
  end

  -- Asks the page of tab `id` for its text (PAGETEXT); `fn(tab)` runs once it is there.
  function browser.want_text(id, fn, part)
    local tab = browser.find(id or 0)
    if not tab then return browser.say("no tab open") end
    local key = part == "SOURCE" and "source" or "text"
    if tab[key] then return fn(tab) end
    if tab.unresponsive then return browser.say("the page is not responding: it cannot be read now") end
    tab.waiting = tab.waiting or {}
    local first = #tab.waiting == 0
    tab.waiting[#tab.waiting + 1] = {key = key, fn = fn}
    if not first then return end
    if not browser.order(id, {CMD = "GETTEXT", PART = part}) then
      tab.waiting = nil
      return browser.say("this page cannot be read")
    end
    local mark = {}
    tab.waiting_mark = mark
    host.after(browser.answer_deadline * 1000, function()
      if tab.waiting_mark ~= mark then return end
      browser.give_up_text(tab, string.format("the page did not answer within %d s", browser.answer_deadline))
    end)
  end

  -- The lines of a PAGETEXT list, each made safe to print.
  local function clean_lines(value)
    local lines = browser.lines(value or "")
    for i, line in ipairs(lines) do lines[i] = browser.clean(line) end
    return lines
  end

  function browser.on_page_text(tab, values)
    if values.ERROR then
      browser.say("could not read the page: " .. values.ERROR)
    elseif values.SOURCE then
      tab.source = clean_lines(values.SOURCE)
    else
      tab.text = {lines = clean_lines(values.TEXT), links = clean_lines(values.LINKS),
                  title = browser.clean(values.TITLE), cut = values.CUT == "TRUE"}
    end
    local waiting = tab.waiting or {}
    tab.waiting, tab.waiting_mark = nil, nil
    for _, w in ipairs(waiting) do
      if tab[w.key] then w.fn(tab) else browser.want_text(tab.id, w.fn, w.key == "source" and "SOURCE" or nil) end
    end
  end
end
