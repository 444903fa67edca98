-- The commands other programs send to a running browser (uicontrol-remote, a second
-- start with addresses): the host checks each request and calls OnRemoteCommand(request)
-- with it as a table ({cmd=..., url=..., id=..., background=...}); the table returned is
-- the answer ({ok=true, ...} or {ok=false, error=...}). Tabs open and close through the
-- model as the interface's own do, so every face shows them.
return function(browser)
  local tm = browser.tm
  local commands = {}

  local function no_tab(id) return {ok = false, error = "no tab " .. tostring(id)} end

  function commands.open(r)
    local before = browser.current
    local id = browser.open(browser.address(r.url))
    if not id then return {ok = false, error = "could not open " .. r.url} end
    if r.background and before and browser.find(before) then
      browser.current = before
      tm.SelectTab(before)
      browser.changed("tabs")
    end
    return {ok = true, id = id}
  end

  function commands.list()
    local tabs = {}
    for i, t in ipairs(browser.tabs) do
      tabs[i] = {id = t.id, title = t.title or "", url = t.url or "", current = t.id == browser.current}
    end
    return {ok = true, tabs = tabs}
  end

  function commands.navigate(r)
    local tab = browser.find(r.id)
    if not tab then return no_tab(r.id) end
    if tm.Navigate(r.id, browser.address(r.url)) == false then return {ok = false, error = "navigate was refused"} end
    tab.crashed = nil
    return {ok = true}
  end

  function commands.close(r)
    local _, index = browser.find(r.id)
    if not index then return no_tab(r.id) end
    browser.close(index)
    return {ok = true}
  end

  function OnRemoteCommand(request)
    local command = commands[request.cmd]
    if not command then return {ok = false, error = "unknown command " .. tostring(request.cmd)} end
    return command(request)
  end
end
