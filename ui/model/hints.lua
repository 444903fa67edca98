-- Link hints on the current tab's page: the page labels its links, buttons and fields
-- ("SHOWHINTS"), the keys typed go to it ("HINTKEY") until it answers that hint mode is
-- over ("HINTS" with COUNT=0), and Esc leaves ("HIDEHINTS"). The labels themselves are
-- made and matched by the page component, for every engine.
return function(browser)
  -- The hints shown: {tab = id, count = labels still matching, typed = keys so far,
  -- new = follow into a new background tab}; nil outside hint mode.
  browser.hinting = nil

  -- `key` is the key that asked (typed into a form field that has the keyboard instead).
  function browser.show_hints(new, key)
    if not browser.current then return false end
    if not browser.order(browser.current, {CMD = "SHOWHINTS", NEW = new and "TRUE" or "FALSE", KEY = key or ""}) then
      return false
    end
    browser.hinting = {tab = browser.current, count = -1, typed = "", new = new}
    browser.changed("hints")
    return true
  end

  -- One key of a label (a single character).
  function browser.hint_key(char)
    local h = browser.hinting
    if not h or #char ~= 1 then return false end
    h.typed = h.typed .. char:lower()
    browser.order(h.tab, {CMD = "HINTKEY", KEY = char})
    return true
  end

  function browser.leave_hints()
    local h = browser.hinting
    if not h then return end
    browser.hinting = nil
    browser.order(h.tab, {CMD = "HIDEHINTS"})
    browser.changed("hints")
  end

  -- "HINTS" of tab `id`: how many labels still match; 0 ends hint mode. A form field had
  -- the keyboard (EDITING=TRUE): the key went there.
  function browser.on_hints(id, values)
    local h = browser.hinting
    if not h or h.tab ~= id then return end
    local count = tonumber(values.COUNT or "0", 16) or 0
    if count == 0 then
      browser.hinting = nil
      if h.count == -1 and values.EDITING ~= "TRUE" then browser.say("no links to follow in view") end
    else
      h.count = count
    end
    browser.changed("hints")
  end
end
