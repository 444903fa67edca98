#pragma once
// The script the engine runs in every document before the page's own scripts, and the
// messages it sends back through the binding function `kBindingName`.
//
// What a page can call (documented for page authors; README "Web content"):
//   window.uicontrol.showAddFavorite(parentId)
//       asks the browser for its add-favourite dialog ("SHOWADDFAVWND");
//   window.uicontrol.showEditFavorite(favoriteId, parentId, title, url)
//       asks for the edit-favourite dialog ("SHOWEDITFAVWND").
//   Both exist only in the top-level document of a trusted origin. Ids are whole numbers
//   from 0 to 4294967295.
//
// The engine's script runs in a script world of its own (kEngineWorld), the only one
// that has the binding; every message carries the page's token, which only that script
// knows. The page's world gets a small script that hands its calls over as DOM events.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace webpage {

extern const char kBindingName[];
// The name of the engine's script world in every frame.
extern const char kEngineWorld[];

// The longest title (Chromium's own limit for a tab's title) and other text (addresses,
// status text) that a page message carries; longer ones are cut, in the script and
// again when read.
constexpr size_t kPageTitleLimit = 4096;
constexpr size_t kPageTextLimit = 65536;

// An unguessable token for one page (128 random bits in hexadecimal).
std::string NewPageToken();

// The engine's script (for kEngineWorld) for a page with this token. Its value is true
// when it installed itself, false when the document already had it.
std::string PageScript(const std::string& token);
// The script for the page's own world; `trustedOrigins` are normalised origins
// (origin.h): only their top-level documents get `window.uicontrol`.
std::string PageWorldScript(const std::vector<std::string>& trustedOrigins);
// A script (for kEngineWorld) that mutes (or unmutes) the media of its document.
std::string MuteScript(bool muted);

struct PageMessage {
  enum class Type { Title, Icon, Close, Status, PopupBlocked, AddFavorite, EditFavorite };
  Type type = Type::Title;
  std::wstring text;   // Title: the title; Icon: the declared icon or empty; Status: the text;
                       // PopupBlocked: the address; EditFavorite: the title
  std::wstring url;    // EditFavorite
  uint32_t id = 0;     // EditFavorite: the favourite
  uint32_t parentId = 0;
};

// Reads one message (the JSON object inside the envelope). False (and *error set) for
// anything malformed: the message comes from the page and is not trusted.
bool ParsePageMessage(const std::string& message, PageMessage* result, std::string* error);
bool ParsePageMessage(const nlohmann::json& message, PageMessage* result, std::string* error);

// Reads one binding payload: {"token": <the page's token>, "message": {...}}. False (and
// *error set) when the token is missing or wrong (the payload did not come from the
// engine's script) or the message is malformed; *forged tells the two apart.
bool OpenPageMessage(const std::string& payload, const std::string& token, PageMessage* result, std::string* error,
                     bool* forged);

}  // namespace webpage
