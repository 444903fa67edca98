-- A bar over the page that tells something and offers a choice: a label and buttons in a
-- row (the session bar, the bar of a page that is not responding).
local noticebar = {}

-- Returns the bar (styled `style`), its label and one button per text, in order.
function noticebar.build(style, ...)
  local bar = ui.box(false, 6)
  bar.AddStyle(style)
  local label = ui.label("")
  bar.Add(label, false)
  local buttons = {}
  for i, text in ipairs({...}) do
    buttons[i] = ui.button(text)
    bar.Add(buttons[i], false)
  end
  return bar, label, unpack(buttons)
end

return noticebar
