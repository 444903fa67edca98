-- What the user types where an address goes: a URL as it is, a host (with port and path)
-- gets http://, a page name such as news.html names a served page, anything else is
-- searched with the default engine.
local address = {}

local bare_schemes = {about = true, data = true, javascript = true, ["view-source"] = true, mailto = true,
                      file = true, chrome = true, blob = true}

-- Whether `input` (without a scheme) names a host: localhost, an IPv4 or bracketed IPv6
-- address, a dotted name ending in letters, or any name with a port; a path may follow.
local function is_host_address(input)
  local hostport = input:match("^([^/?#]+)")
  if not hostport then return false end
  local host, port = hostport:match("^(%[[%x:.]+%])(.*)$")
  if not host then host, port = hostport:match("^([^:]+)(.*)$") end
  if not host or (port ~= "" and not port:match("^:%d+$")) then return false end
  if host:match("^%[") or host:lower() == "localhost" or host:match("^%d+%.%d+%.%d+%.%d+$") then return true end
  if not host:match("^[%w.-]+$") then return false end
  return port ~= "" or host:match("^[%w-]+%.[%w.-]*%a$") ~= nil
end

-- The address of a search for `words` with `engine` ({url = "...{searchTerms}..."}), or
-- with the served search page when there is no engine.
function address.search(words, engine)
  local query = words:gsub("[^%w%-_.~]", function(c) return string.format("%%%02X", c:byte()) end)
  if not engine then return (host.base_url ~= "" and host.base_url or "http://127.0.0.1/") .. "search.html?q=" .. query end
  return (engine.url:gsub("{searchTerms}", (query:gsub("%%", "%%%%"))))
end

function address.resolve(input, engine)
  input = input:gsub("^%s+", ""):gsub("%s+$", "")
  if input:match("^%a[%w+.-]*://") then return input end
  local scheme = input:match("^(%a[%w+.-]*):")
  if scheme and bare_schemes[scheme:lower()] then return input end
  if host.base_url ~= "" and input:match("^[%w_%-]+%.html?$") then return host.base_url .. input end
  if not input:find("%s") and is_host_address(input) then return "http://" .. input end
  return address.search(input, engine)
end

return address
