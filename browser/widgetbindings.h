#pragma once
// The widget classes and the "ui" table of the Lua chrome, declared through uibind:
// ui.window(title) is not offered (one main window, ui.main_window()); ui.page_area(),
// ui.box(vertical, spacing), ui.button(label), ui.label(text), ui.image(), ui.progress(),
// ui.entry(), ui.tabstrip(), ui.menu(), ui.dialog(title), ui.style(css),
// ui.show_page(id, show) (shows or hides a tab's page), ui.set_current_tab(id) (the tab the
// window shows), // ui.add_bookmark() (the library's add-favourite dialog for the current tab).
#include <string>

#include "browser/basicwidgets.h"
#include "uibind/host.h"

namespace browser {

// `mainWindow` and `pageArea` are the host's; both stay valid while the state lives.
bool InstallWidgetBindings(uibind::CHost& host, CWindow* mainWindow, CWidget* pageArea);

// Applies a style sheet to the whole screen (replacing the last one); false with the
// parser's message in `error` when it does not parse.
bool ApplyStyleSheet(const std::string& css, std::string* error);

// The tab the chrome last named with ui.set_current_tab (0: none).
unsigned int CurrentTab();

}  // namespace browser
