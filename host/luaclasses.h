#pragma once
// The host's Lua classes that the library relies on but never registers itself:
//
//   std.wstring  the native std::wstring. Built implicitly from a Lua string (read as
//                UTF-8; invalid bytes become U+FFFD) wherever a wide text is expected.
//                No constructor takes a size: a number is taken as its text
//                (std.wstring(4294967295) is the text "4294967295").
//                Methods: "str" (back to a Lua string, UTF-8), "length", "empty"; unlike the
//                library's classes they may be called with a colon too (w:str()).
//                tostring(w) gives the UTF-8 text; w1 == w2 compares the texts;
//                w .. x and x .. w give a Lua string (x a Lua string, a number or a wstring).
//   HWND         the native window handle (HWND__ behind HWND). Objects are never owned:
//                HWND.FromValue(n) gives the handle with value n, h.value() (or h:value())
//                its value;
//                h1 == h2 compares handles; tostring(h) is "HWND(0x...)".
#include <string>

namespace uibind {
class CHost;
}

// Registers both classes in the host; false when either cannot be inserted.
bool RegisterHostClasses(uibind::CHost& host);
