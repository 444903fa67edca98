// The Lua API as a user interface script could misuse it: the input becomes a Lua program
// of calls on TabManager, TabInfo, std.uintarr (and its iterators), std.wstring and HWND,
// with arguments of any type and count, metamethods called by hand (__gc, __index,
// __newindex, operators) and the binding's global helpers (__cast, __const, ...). Every
// call runs under pcall: a Lua error is a fine answer, a crash or a sanitizer report is not.
// Set FUZZ_LUA_PRINT=1 to see the program an input makes.
//
// The program runs in a fresh Lua state with the library wired to the test doubles.
#include <lua.hpp>

#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/fuzzinput.h"
#include "fuzz/librarysession.h"
#include "host/luaclasses.h"
#include "uibind/host.h"

namespace {

// When set, keeps the generated programs in a narrower range: "__gc" is called by hand
// only on an object made in the same step (nothing refers into it yet), and numbers given
// to std.uintarr, its iterators, fetched functions and CloseTab are held to -16..16.
// Both faults it once kept away from (references into an object destroyed by hand, array
// sizes without a limit) are fixed, so the full range is fuzzed.
constexpr bool kAvoidKnownFaults = false;

const char* const kTabManagerMethods[] = {
    "AddTab", "AddLinkTab", "RestoreTab", "CloseTab", "CloseAllTab", "Navigate", "GoForward", "GoBack", "Stop",
    "Refresh", "Home", "OpenFile", "SaveWeb", "SaveWebToImage", "PageSet", "Print", "PrintView", "SendLinkUseEmail",
    "SendWebUseEmail", "PageAttribute", "GetTextSize", "SetTextSize", "GetWebZoom", "SetWebZoom", "ViewSource",
    "InternetOption", "FindTabInfo", "Quit", "Start", "GetAllFavoriteItems", "AddFavoriteItem", "DeleteFavoriteItem",
    "GetAllSearchLists", "SetDefaultSearch", "GetNavigateHistory", "GetRecoverLists", "ClearRecoverLists",
    "ImportIEFavorites", "GetFavoriteByFloder", "UpdateBrowser", "UpdateTickCount", "ShowWebFind", "ShowWebMenu",
    "IsShowDefaultIndex", "GetDefaultIndex", "IsDefaultBrowser", "IsShowSetDefaultBrowserDlg",
    "SetShowSetDefaultBrowserDlg", "SetDefaultBrowser", "SelectTab", "IsShowCloseTabs", "SetShowCloseTabs",
    "GetTabsCount", "GetValue", "SetValue", "QueryIconPathFromURL", "EnableAudio", "IsAudioEnable"};

// Members of std.uintarr and its iterators, TabInfo's fields, the wide string's and the
// handle's methods, and names that are none of these.
const char* const kMemberNames[] = {
    "size", "at", "push_back", "pop_back", "front", "back", "resize", "reserve", "capacity", "max_size", "erase",
    "insert", "swap", "assign", "clear", "empty", "begin", "_end", "rbegin", "rend", "value", "inc", "dec",
    "uID", "uParentID", "hWndWeb", "uProcent", "bForwardEnable", "bBackwardEnable", "strTitle", "strURL",
    "strIconPath", "eTabStatusInfo", "eTabSafeInfo", "uFontSize", "uTickCount", "strStatText", "str", "length",
    "FromValue", "AddTab", "nosuch", "__index", "__gc", ""};

const char* const kMetamethods[] = {"__index", "__newindex", "__tostring", "__eq", "__lt", "__le", "__add",
                                    "__sub", "__concat", "__call", "__unm", "__len"};

const char* const kConstructors[] = {"std.uintarr", "std.wstring", "TabInfo", "HWND.FromValue",
                                     "App.TabManagerInstance", "tm.FindTabInfo"};

const char* const kTypeNames[] = {"std.uintarr", "std.wstring", "TabInfo", "HWND", "TabManager",
                                  "std.uintarr.iterator", "std.uintarr.const_reverse_iterator", "nosuch"};

const char* const kStrings[] = {"", "http://fuzz.test/", "re:index", "about:blank", "javascript:alert(1)",
                                "a\\nb", "x=y", "caf\\195\\169", "\\255\\254", "page.size", "defaulturl", "1"};

const char* const kNumbers[] = {"0", "1", "2", "3", "-1", "0.5", "7", "100", "4294967295", "4294967296",
                                "2^31", "-2^31", "2^53", "-2^63", "1/0", "-1/0", "0/0", "1e300"};

constexpr int kSlots = 8;

class CProgram {
 public:
  CProgram(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  std::string Make() {
    std::string out =
        "local tm = App.TabManagerInstance()\n"
        "local S = {tm, std.uintarr(), std.wstring('w'), TabInfo(), HWND.FromValue(1)}\n"
        "local last = 1\n"
        "local function R(k, ok, v)\n"
        "  if ok and v ~= nil then S[k] = v end\n"
        "  if ok and type(v) == 'number' then last = v end\n"
        "end\n"
        "local function C(v)\n"
        "  if type(v) == 'number' and v == v then\n"
        "    if v > 16 then return 16 elseif v < -16 then return -16 end\n"
        "  end\n"
        "  return v\n"
        "end\n";
    for (int steps = 0; m_pos < m_size && steps < 64; ++steps) out += Step() + "\n";
    return out;
  }

 private:
  uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  template <size_t N>
  const char* Pick(const char* const (&list)[N]) {
    return list[Byte() % N];
  }
  std::string Slot() { return "S[" + std::to_string(1 + Byte() % kSlots) + "]"; }

  // One argument of any type. `clamp`: a number that may size an array.
  std::string Argument(bool clamp) {
    switch (Byte() % 11) {
      case 0: return "nil";
      case 10: return clamp ? "C(last)" : "last";  // the last number a call gave, often a tab ID
      case 1: return Byte() % 2 ? "true" : "false";
      case 2: return std::to_string(static_cast<int>(Byte() % 32) - 8);
      case 3: {
        const std::string number = Pick(kNumbers);
        return clamp ? "C(" + number + ")" : number;
      }
      case 4: return std::string("'") + Pick(kStrings) + "'";
      case 5: return "string.rep('ab', " + std::to_string(Byte() % 64) + ")";
      case 6: return "{}";
      case 7: return "tm";
      case 8: return "function() end";
      default: return clamp ? "C(" + Slot() + ")" : Slot();
    }
  }

  std::string Arguments(bool clamp) {
    std::string out;
    const int count = Byte() % 5;
    for (int i = 0; i < count; ++i) out += (i ? ", " : "") + Argument(clamp);
    return out;
  }

  static bool Clamps(const std::string& callee) {
    return kAvoidKnownFaults && (callee == "std.uintarr" || callee.find("CloseTab") != std::string::npos);
  }

  std::string Construct() {
    const std::string callee = Pick(kConstructors);
    return callee + "(" + Arguments(Clamps(callee)) + ")";
  }

  // The statement for one step; its value (when it has one and no error came) goes to a slot.
  std::string Step() {
    const std::string target = std::to_string(1 + Byte() % kSlots);
    std::string expression;
    switch (Byte() % 14) {
      case 0:
      case 1: {
        const std::string method = std::string("tm.") + Pick(kTabManagerMethods);
        expression = method + "(" + Arguments(Clamps(method)) + ")";
        break;
      }
      case 2: {  // as with a colon: the object comes again as the first argument
        const std::string object = Slot();
        const std::string args = Arguments(kAvoidKnownFaults);
        expression = object + "['" + Pick(kMemberNames) + "'](" + object + (args.empty() ? "" : ", ") + args + ")";
        break;
      }
      case 3:
      case 4:
        expression = Slot() + "['" + Pick(kMemberNames) + "'](" + Arguments(kAvoidKnownFaults) + ")";
        break;
      case 5: expression = Construct(); break;
      case 6: expression = Slot() + "[" + Argument(false) + "]"; break;
      case 7: {
        const std::string object = Slot();
        return "pcall(function() " + object + "[" + Argument(false) + "] = " + Argument(false) + " end)";
      }
      case 8: {
        const std::string object = Slot();
        expression = "getmetatable(" + object + ")." + Pick(kMetamethods) + "(" + object + ", " + Argument(false) + ", " +
                     Argument(false) + ")";
        break;
      }
      case 9: {
        const std::string a = Slot(), b = Argument(false);
        static const char* const kOperators[] = {"==", "<", "<=", "+", "-", ".."};
        const int which = Byte() % 9;
        if (which < 6) expression = a + " " + kOperators[which] + " " + b;
        else if (which == 6) expression = "tostring(" + a + ")";
        else if (which == 7) expression = "-" + a;
        else expression = "#" + a;
        break;
      }
      case 10: {
        static const char* const kHelpers[] = {"__cast", "__const", "__get_type", "__get_typeex", "__get_rtti_type"};
        const char* helper = Pick(kHelpers);
        expression = std::string(helper) + "(" + Slot() + ", " +
                     (Byte() % 2 ? std::string("'") + Pick(kTypeNames) + "'" : Argument(false)) + ")";
        break;
      }
      case 11:  // a fetched function (or anything else) called
        expression = Slot() + "(" + Arguments(kAvoidKnownFaults) + ")";
        break;
      case 12:
        if (kAvoidKnownFaults || Byte() % 2) {
          // Destroyed at once, then kept: later steps use the destroyed object.
          return "R(" + target + ", pcall(function() local o = " + Construct() +
                 "; getmetatable(o).__gc(o); return o end))";
        }
        if (Byte() % 2) {
          expression = "getmetatable(" + Slot() + ").__gc(" + Slot() + ")";
          break;
        }
        {
          // Something that refers into an object (an iterator, a field), then the object
          // destroyed by hand, then the reference used.
          const std::string object = Slot();
          return "R(" + target + ", pcall(function() local o = " + object + "; local r = o['" + Pick(kMemberNames) +
                 "']; if type(r) == 'function' then r = r() end; getmetatable(o).__gc(o); return r.value, tostring(r) "
                 "end))";
        }
      default:
        // A collection runs the "__gc" of every object no longer referred to.
        return Byte() % 2 ? "pcall(collectgarbage, 'collect')" : Slot() + " = nil";
    }
    return "R(" + target + ", pcall(function() return " + expression + " end))";
  }

  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

}  // namespace

FUZZ_TARGET(data, size) {
  const std::string program = CProgram(data, size).Make();
  if (std::getenv("FUZZ_LUA_PRINT")) std::fprintf(stderr, "%s\n", program.c_str());

  fuzz::CLibrarySession session;
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  std::unique_ptr<uibind::CHost> host(new uibind::CHost(L));
  FUZZ_CHECK(RegisterHostClasses(*host), "the host classes install");
  FUZZ_CHECK(CLuaTabInfo::InstallToLua(L) && CTabManager::InstallToLua(L), "the library installs");
  if (luaL_loadbuffer(L, program.data(), program.size(), "=fuzz") != 0) {
    FUZZ_CHECK(false, std::string("the generated program does not load: ") + lua_tostring(L, -1));
  }
  if (lua_pcall(L, 0, 0, 0) != 0) {
    // Errors outside pcall come only from the statements that are not wrapped.
    lua_pop(L, 1);
  }
  session.Drain();
  lua_close(L);
  host.reset();
  return 0;
}
