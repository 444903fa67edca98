#pragma once
// The favourite dialogs of the shell: a page's request reaches the user interface as a
// data notification ("ShowAddFavoriteDialog" with "pid=<n>\n", "ShowEditFavoriteDialog"
// with "id=..\npid=..\ntitle=..\nurl=..\n"), which the Lua script answers as it likes.
#include "host/notificationqueue.h"
#include "uicontrol/interfaces/favoritedlg.h"

// Both return an object holding one reference; the queue must outlive them.
IAddFavoriteDlg* CreateAddFavoriteDialog(CNotificationQueue& queue);
IEditFavoriteDlg* CreateEditFavoriteDialog(CNotificationQueue& queue);
