-- The find bar: the words typed are searched in the current page (the engine's FIND);
-- Enter again goes to the next match, and the label shows "n of m".
local findbar = {text = "", index = 0, count = 0, label = ""}

-- The next state after the page answered: the same words again move on (wrapping
-- around), new words start at the first match.
function findbar.answer(text, count, same)
  if count <= 0 then return 0, "no matches" end
  local index = same and (findbar.index % count) + 1 or 1
  return index, string.format("%d of %d", index, count)
end

return findbar
