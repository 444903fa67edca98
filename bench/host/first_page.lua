-- Quits at the first page loaded: for measuring start-up.
function OnStart() App.TabManagerInstance().AddTab(host.home, 0) end
function OnTabNotify(id, key)
  if key == "DOCUMENTCOMPLETE" then
    io.write("FIRST DOCUMENTCOMPLETE\n")
    io.flush()
    host.quit(0)
  end
end
function OnInput() end
