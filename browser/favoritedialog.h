#pragma once
// The add-favourite dialog of the desktop browser: the library's IAddFavoriteDlg as a GTK
// dialog over the main window. The library asks for it from any thread (a served page's
// request; the chrome's Ctrl+D); it opens on the GTK thread with the current tab's title
// and address, and "Add" stores the favourite through the library, which then reports
// the new list ("GetAllFavoriteItems"). Its opening and closing reach the chrome as the
// data notification "AddFavoriteDialog" with "shown", "focused" (it has the keyboard) or
// "closed".
#include <gtk/gtk.h>

#include "uicontrol/interfaces/favoritedlg.h"

// Holds one reference; `parent` must outlive the dialog's use.
IAddFavoriteDlg* CreateGtkAddFavoriteDialog(GtkWindow* parent);
