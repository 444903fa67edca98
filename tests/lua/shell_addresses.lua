-- What the terminal makes of addresses and lists: addresses refused with a reason,
-- completion offering each address once and no failed one, the text of each link, and
-- the tab strip broken only between tabs.
local tm = App.TabManagerInstance()
test.bind_main(test.new_window())

local function fresh()
  host = {base_url = "http://127.0.0.1:9/", home = "http://127.0.0.1:9/", profile = "", session = {},
          restore = false, interactive = false}
  function host.order() return true end
  function host.terminal_size() return 30, 10 end
  for name in pairs(package.loaded) do
    if name == "browser" or name:match("^model%.") or name:match("^shell%.") then package.loaded[name] = nil end
  end
  local browser = require("browser")
  browser.tabs, browser.current = {}, nil
  return browser
end

case("addresses the browser cannot open are refused with a reason; the others resolve", function()
  local browser = fresh()
  local refused = {"javascript:alert(1)", "JavaScript:void(0)", " javascript:x", "mailto:a@b.example",
                   "gopher://example.org/", "ftp://example.org/file", "ws://example.org/"}
  for _, input in ipairs(refused) do
    local url, why = browser.address(input)
    eq(url, nil, input)
    ok(type(why) == "string" and why ~= "", "a reason for " .. input)
  end
  local opened = {["news.html"] = "http://127.0.0.1:9/news.html", ["localhost:8080"] = "http://localhost:8080",
                  ["[::1]:8765/x"] = "http://[::1]:8765/x", ["https://a.example/"] = "https://a.example/",
                  ["about:blank"] = "about:blank", ["chrome://crash"] = "chrome://crash",
                  ["view-source:http://a.example/"] = "view-source:http://a.example/"}
  for input, url in pairs(opened) do eq(browser.address(input), url, input) end
  ok(browser.address("two words"):find("search.html?q=two%20words", 1, true), "words are searched")
end)

case("completion offers each address once, as it is typed, and no address that failed", function()
  local browser = fresh()
  browser.favorites = {{url = "http://127.0.0.1:9/"}, {url = "http://127.0.0.1:9/news.html"}}
  browser.closed = {{url = "http://127.0.0.1:9/news.html"}}
  browser.visited["http://127.0.0.1:9"] = true
  browser.visited["http://127.0.0.1:9/weather.html"] = true
  local typed = {"127.0.0.1:9/news.html", "http://127.0.0.1:9/weather.html", "http://127.0.0.1:1/"}
  browser.on_tab(0, "page.size", "")  -- settings event: nothing about addresses
  for _, fn in ipairs(browser.listeners) do fn("tab", 5, "NAVIGATEERROR", "URL=http://127.0.0.1:1/\n") end
  local got = browser.complete_address("127", typed)
  table.sort(got)
  eq(table.concat(got, " "), "127.0.0.1:9/ 127.0.0.1:9/news.html 127.0.0.1:9/weather.html")
  got = browser.complete_address("http://127.0.0.1:9/n", typed)
  eq(table.concat(got, " "), "http://127.0.0.1:9/news.html")
  eq(#browser.complete_address("nothing", typed), 0)
  -- A later load of the address that failed makes it known again.
  for _, fn in ipairs(browser.listeners) do fn("tab", 5, "NAVIGATECOMPLETE", "URL=http://127.0.0.1:1/\n") end
  eq(#browser.complete_address("127.0.0.1:1", typed), 1)
end)

case("links are listed with their text; the tab strip breaks between tabs", function()
  local browser = fresh()
  local pages = require("shell.pagecommands")
  local texts = pages.link_texts({"P:Back to the start page[1] \194\183 Weather[2]",
                                  "L1:News[3]", "P:see (the notes[4]) and|more[5]", "P:[6] no text",
                                  "P:one two three four five six seven eight nine ten[7]"})
  eq(texts[1], "Back to the start page")
  eq(texts[2], "Weather")
  eq(texts[3], "News")
  eq(texts[4], "the notes")
  eq(texts[5], "more")
  eq(texts[6], "")
  eq(texts[7], "three four five six seven eight nine ten")
  local screen = require("shell.screen")
  local reader = require("reader")
  for i, title in ipairs({"uicontrol start page", "Notes \231\172\148\232\174\176 \194\174", "Weather",
                          "\231\172\148\232\174\176\231\172\148\232\174\176\231\172\148\232\174\176\231\172\148\232\174\176\231\172\148\232\174\176\231\172\148\232\174\176"}) do
    browser.tabs[i] = {id = i, title = title, url = "", progress = 100}
  end
  browser.current = 2
  local lines = screen.strip(30)
  for _, l in ipairs(lines) do ok(reader.width(l) <= 30, "strip line wider than the screen: " .. l) end
  ok(table.concat(lines, "\n"):find("*[2] Notes \231\172\148\232\174\176 \194\174", 1, true), "a tab's entry stays whole")
  eq(#lines, 4, "each tab where it fits: 25, 17, 12 and 28 columns")
end)
