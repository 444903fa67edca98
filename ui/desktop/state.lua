-- The chrome's state as lines in the file named by --state (host.state_file), written
-- whole (through a temporary file and a rename) whenever it changes: what tests and
-- tools outside the process read.
local state = {}
local last = nil

function state.write(lines)
  if host.state_file == nil or host.state_file == "" then return end
  local text = table.concat(lines, "\n") .. "\n"
  if text == last then return end
  local temporary = host.state_file .. ".new"
  local file = io.open(temporary, "w")
  if not file then return end
  file:write(text)
  file:close()
  if os.rename(temporary, host.state_file) then last = text end
end

-- One line: a name and its value, with line breaks of the value made spaces.
function state.line(name, value)
  return name .. " " .. tostring(value == nil and "" or value):gsub("[\r\n]", " ")
end

return state
