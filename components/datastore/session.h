#pragma once
// The open tabs of the running browser, kept as they change so that a browser that was
// killed can bring them back: their order, the selected one, and each one's back and
// forward entries. One "save.session" replaces the whole saved session in one
// transaction; the host coalesces its changes into a few writes a second.
#include "components/datastore/commands.h"

namespace datastore {

// "save.session": count (tabs), selected (-1 or a tab's place), and per tab I (0 first)
// the entries "tab.I.url.J", "tab.I.title.J" and "tab.I.index". Also sets the setting
// "session.saved" to the time of the write (seconds since the epoch).
HRESULT SaveSession(CStoreContext& ctx, CCallLog& log, const CParams& params);
// "get.session": <Session selected="S"><Tab index="i"><Entry url="" title=""/>...</Tab>...</Session>
HRESULT QuerySession(CStoreContext& ctx, CCallLog& log, const CParams& params, std::optional<std::wstring>* result);
// "get.recover.tab": uuid; the closed tab with its entries as a "Tab" document (uuid,
// title, url, index); a tab kept without entries shows its url as its one entry. No
// holder for an unknown uuid.
HRESULT QueryRecoverTab(CStoreContext& ctx, CCallLog& log, const CParams& params, std::optional<std::wstring>* result);

}  // namespace datastore
