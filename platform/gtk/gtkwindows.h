#pragma once
// The GTK backend of the platform window table. A page engine attaches the widget of each
// page view to the view's window handle; the host makes one page area per main window.
// From then on the table's calls have a real effect: SetParent(view, main) puts the view
// into the main window's page area (any other parent takes it out), ShowWindow shows or
// hides it, MoveView places it. Every call may come from any thread; the work is done on
// the GTK thread, in the order of the calls, and always reads the table's current state,
// so a late task can never undo a newer change.
#include <gtk/gtk.h>

#include "platform/windef.h"

namespace platform::gtk {

// Mirrors the window table into GTK from now on (replaces any other backend).
void InstallWindowBackend();

// GTK thread. A container for the pages whose parent is `mainWnd`: a view without a
// rectangle fills it, one moved by MoveView sits at its rectangle (clipped to the area).
// The host packs the returned widget (floating) where the pages belong.
GtkWidget* CreatePageArea(HWND mainWnd);

// Any thread. `widget` stands for `view` from now on (a reference is taken); the view's
// current parent and visibility are applied to it.
void AttachView(HWND view, GtkWidget* widget);
// Any thread. Takes the widget out of its area and drops the reference.
void DetachView(HWND view);
// Any thread. Places the view at (x, y) in its area, `width` by `height`; a width or
// height of 0 or less makes it fill the area again.
void MoveView(HWND view, int x, int y, int width, int height);

// GTK thread; for tests and diagnostics. The widget attached to `view` (null if none),
// and the window handle whose page area holds it (null if none).
GtkWidget* ViewWidget(HWND view);
HWND ViewArea(HWND view);

}  // namespace platform::gtk
