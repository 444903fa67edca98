#pragma once
// The script the engine runs in every document before the page's own scripts, and the
// messages it sends back through the binding function `kBindingName`.
//
// What a page can call (documented for page authors):
//   window.uicontrol.showAddFavorite(parentId)
//       asks the browser for its add-favourite dialog ("SHOWADDFAVWND");
//   window.uicontrol.showEditFavorite(favoriteId, parentId, title, url)
//       asks for the edit-favourite dialog ("SHOWEDITFAVWND").
//   Ids are whole numbers from 0 to 4294967295; only the top-level document is heard.
#include <cstdint>
#include <string>

namespace webpage {

extern const char kBindingName[];

// The script itself.
const std::string& PageScript();
// A script that mutes (or unmutes) the media of the document it runs in.
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

// Reads one binding payload. False (and *error set) for anything malformed: the payload
// comes from the page and is not trusted.
bool ParsePageMessage(const std::string& payload, PageMessage* message, std::string* error);

}  // namespace webpage
