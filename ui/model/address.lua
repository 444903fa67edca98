-- What the user types where an address goes: a URL as it is, a host (with port and path)
-- gets http://, a page name such as news.html names a served page, anything else is
-- searched with the default engine. Addresses the browser cannot open (javascript:,
-- which would run in the page, and schemes it has no use for) are refused with a reason.
local address = {}

-- The schemes a page may be opened with.
local schemes = {http = true, https = true, file = true, about = true, data = true, chrome = true,
                 ["view-source"] = true, blob = true}
-- Schemes written without "//" that are refused rather than searched.
local refused = {javascript = "javascript: addresses are not opened (they would run a script in the page)",
                 vbscript = "vbscript: addresses are not opened", mailto = "mailto: addresses cannot be opened here (no mail program)",
                 tel = "tel: addresses cannot be opened here", sms = "sms: addresses cannot be opened here"}

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

-- The address to open for `input`, or nil and why it is refused.
function address.resolve(input, engine)
  input = input:gsub("^%s+", ""):gsub("%s+$", "")
  local scheme = input:match("^(%a[%w+.-]*):")
  scheme = scheme and scheme:lower()
  if scheme and refused[scheme] then return nil, refused[scheme] end
  if input:match("^%a[%w+.-]*://") then
    if schemes[scheme] then return input end
    return nil, "unsupported address " .. scheme .. ": (http, https, file, about, data and view-source are)"
  end
  if scheme and schemes[scheme] then return input end
  if host.base_url ~= "" and input:match("^[%w_%-]+%.html?$") then return host.base_url .. input end
  if not input:find("%s") and is_host_address(input) then return "http://" .. input end
  return address.search(input, engine)
end

return address
