-- The settings both faces read and write, each kept once in the store: the home page,
-- whether the last run's tabs come back at every start, and the page zoom.
return function(browser)
  local tm = browser.tm
  -- Read once and then followed: the store is not asked on every page event.
  local home_now, zoom_now, restore_now

  local function stored(name)
    local value = tm.GetValue(name)
    return value and value:str() or ""
  end

  -- The home page: the one kept in the store, else the one the program started with.
  function browser.home_page()
    if not home_now then home_now = stored("homepage") end
    return home_now ~= "" and home_now or host.home
  end

  -- Keeps a new home page (what the user typed, as an address); empty goes back to the
  -- program's own.
  function browser.set_home_page(text)
    text = tostring(text or ""):gsub("^%s+", ""):gsub("%s+$", "")
    home_now = text ~= "" and browser.address(text) or ""
    tm.SetValue("homepage", home_now)
    browser.changed("setting", "homepage", home_now)
    return browser.home_page()
  end

  -- "always": the last run's tabs reopen at every start; "ask" (the default): they are
  -- offered. Profiles of earlier versions kept it in the file restore-tabs.
  browser.restore_choices = {always = true, ask = true}
  function browser.restore_setting()
    if not restore_now then
      restore_now = stored("restore.tabs")
      if restore_now == "" and host.profile then
        local file = io.open(host.profile .. "/restore-tabs", "r")
        if file then
          restore_now = file:read("*l") or ""
          file:close()
        end
      end
      if not browser.restore_choices[restore_now] then restore_now = "ask" end
    end
    return restore_now
  end

  function browser.set_restore_setting(value)
    if not browser.restore_choices[value] then return false end
    restore_now = value
    tm.SetValue("restore.tabs", value)
    browser.changed("setting", "restore.tabs", value)
    return true
  end

  -- The page zoom in percent: one setting for every page.
  browser.zoom_steps = {25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500}
  function browser.zoom()
    if not zoom_now then
      local z = tm.GetWebZoom(0)
      zoom_now = z == 0 and 100 or z
    end
    return zoom_now
  end

  function browser.set_zoom(percent)
    local ok = tm.SetWebZoom(browser.current or 0, percent)
    if not ok then browser.say("zoom " .. percent .. " was refused") end
    return ok
  end

  -- The next step up (direction 1) or down (-1) from the zoom now; nil at either end.
  function browser.zoom_step(direction)
    local z = browser.zoom()
    local from, to = 1, #browser.zoom_steps
    if direction < 0 then from, to = to, 1 end
    for i = from, to, direction do
      local step = browser.zoom_steps[i]
      if (direction > 0 and step > z) or (direction < 0 and step < z) then return step end
    end
  end

  -- The store tells every change of the zoom (id 0, "page.size").
  function browser.on_setting(key, value)
    if key == "page.size" then
      zoom_now = tonumber(value) or zoom_now
      browser.say("zoom is now " .. value .. "%")
    end
  end
end
