-- Signals of the native widgets reach Lua functions: widgets.on(w, "clicked", fn).
-- The host calls OnWidgetSignal(id, signal, arg) for every signal; a handler's true
-- result tells it the signal was handled (a key then goes no further).
local widgets = {}
local handlers = {}

function widgets.on(widget, signal, fn)
  local id = widget.Id()
  handlers[id] = handlers[id] or {}
  handlers[id][signal] = fn
  return widget
end

function OnWidgetSignal(id, signal, arg)
  local of = handlers[id]
  local fn = of and of[signal]
  if not fn then return false end
  return fn(arg) and true or false
end

return widgets
