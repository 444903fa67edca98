-- The find bar: the words typed are searched in the current page (the model's find);
-- Enter again goes to the next match, and the label shows "n of m".
local findbar = {label = ""}

-- The label for the model's last search once the page answered.
function findbar.answer(finding)
  if not finding then return "" end
  if finding.pending then return findbar.label end
  if finding.count <= 0 then return "no matches" end
  return string.format("%d of %d", finding.at, finding.count)
end

return findbar
