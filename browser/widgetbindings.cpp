#include "browser/widgetbindings.h"

#include <atomic>
#include <memory>
#include <stdexcept>

#include "browser/entry.h"
#include "browser/menudialog.h"
#include "browser/tabstrip.h"
#include "uibind/declarations.h"
#include "uicontrol/tabmanager.h"

namespace browser {
namespace {

CWindow* g_mainWindow = nullptr;
CWidget* g_pageArea = nullptr;

CWindow* MainWindow() { return g_mainWindow; }
CHostWidget* PageArea() { return dynamic_cast<CHostWidget*>(g_pageArea); }
CBox* NewBox(bool vertical, int spacing) {
  Require(spacing >= 0 && spacing <= 100, "box: the spacing is 0 to 100");
  return CWidget::Keep(std::make_unique<CBox>(vertical, spacing));
}
CButton* NewButton(const std::string& label) { return CWidget::Keep(std::make_unique<CButton>(label)); }
CLabel* NewLabel(const std::string& text) { return CWidget::Keep(std::make_unique<CLabel>(text)); }
CImage* NewImage() { return CWidget::Keep(std::make_unique<CImage>()); }
CProgressBar* NewProgress() { return CWidget::Keep(std::make_unique<CProgressBar>()); }
CEntry* NewEntry() { return CWidget::Keep(std::make_unique<CEntry>()); }
CTabStrip* NewTabStrip() { return CWidget::Keep(std::make_unique<CTabStrip>()); }
CMenu* NewMenu() { return CWidget::Keep(std::make_unique<CMenu>()); }
CDialog* NewDialog(const std::string& title) { return CWidget::Keep(std::make_unique<CDialog>(title, g_mainWindow)); }

void Style(const std::string& css) {
  std::string error;
  if (!ApplyStyleSheet(css, &error)) throw std::invalid_argument("style: " + error);
}

std::atomic<unsigned int> g_currentTab{0};

// The library keeps ShowIeWindow for native code; the chrome needs it to show one tab's
// page at a time, and tells the add-bookmark dialog which tab it is about.
bool ShowPage(unsigned int id, bool show) { return CTabManager::Instance().ShowIeWindow(id, show); }
void SetCurrentTab(unsigned int id) { g_currentTab = id; }

bool AddBookmark() {
  auto dialog = CTabManager::GetAddFavoriteDlg();
  return dialog && SUCCEEDED(dialog->ShowDialog(0xFFFFFFFFu, CTabManager::GetMainWndHwnd(), 0, 0, 0));
}

}  // namespace

unsigned int CurrentTab() { return g_currentTab; }

bool ApplyStyleSheet(const std::string& css, std::string* error) {
  static GtkCssProvider* provider = nullptr;
  GtkCssProvider* fresh = gtk_css_provider_new();
  GError* parseError = nullptr;
  if (!gtk_css_provider_load_from_data(fresh, css.c_str(), static_cast<gssize>(css.size()), &parseError)) {
    *error = parseError ? parseError->message : "the style sheet does not parse";
    if (parseError) g_error_free(parseError);
    g_object_unref(fresh);
    return false;
  }
  GdkScreen* screen = gdk_screen_get_default();
  if (provider) {
    gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider));
    g_object_unref(provider);
  }
  provider = fresh;
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  return true;
}

bool InstallWidgetBindings(uibind::CHost& host, CWindow* mainWindow, CWidget* pageArea) {
  g_mainWindow = mainWindow;
  g_pageArea = pageArea;

  uibind::Class<CWidget> widget("Widget");
  widget.Method("Id", &CWidget::Id)
      .Method("Alive", &CWidget::Alive)
      .Method("Show", &CWidget::Show)
      .Method("Hide", &CWidget::Hide)
      .Method("Visible", &CWidget::Visible)
      .Method("SetSensitive", &CWidget::SetSensitive)
      .Method("SetTooltip", &CWidget::SetTooltip)
      .Method("SetSize", &CWidget::SetSize)
      .Method("Focus", &CWidget::GrabFocus)
      .Method("HasFocus", &CWidget::HasFocus)
      .Method("AddStyle", &CWidget::AddStyle)
      .Method("RemoveStyle", &CWidget::RemoveStyle)
      .Method("Geometry", &CWidget::Geometry)
      .Method("Destroy", &CWidget::Destroy);

  uibind::Class<CWindow> window("Window");
  window.Inherits<CWidget>()
      .Method("SetTitle", &CWindow::SetTitle)
      .Method("Title", &CWindow::Title)
      .Method("SetChild", &CWindow::SetChild)
      .Method("SetDefaultSize", &CWindow::SetDefaultSize)
      .Method("Present", &CWindow::Present)
      .Method("Size", &CWindow::Size)
      .Method("WorkArea", &CWindow::WorkArea);
  uibind::Class<CHostWidget> hostWidget("HostWidget");
  hostWidget.Inherits<CWidget>().Method("AddOverlay", &CHostWidget::AddOverlay);
  uibind::Class<CBox> box("Box");
  box.Inherits<CWidget>().Method("Add", &CBox::Add).Method("AddStart", &CBox::AddStart).Method("Remove", &CBox::Remove);
  uibind::Class<CButton> button("Button");
  button.Inherits<CWidget>()
      .Method("SetLabel", &CButton::SetLabel)
      .Method("Label", &CButton::Label)
      .Method("SetIcon", &CButton::SetIcon)
      .Method("Click", &CButton::Click);
  uibind::Class<CLabel> label("Label");
  label.Inherits<CWidget>()
      .Method("SetText", &CLabel::SetText)
      .Method("Text", &CLabel::Text)
      .Method("SetAlign", &CLabel::SetAlign);
  uibind::Class<CImage> image("Image");
  image.Inherits<CWidget>()
      .Method("SetIcon", &CImage::SetIcon)
      .Method("SetFile", &CImage::SetFile)
      .Method("Clear", &CImage::Clear);
  uibind::Class<CProgressBar> progress("ProgressBar");
  progress.Inherits<CWidget>().Method("SetPercent", &CProgressBar::SetPercent).Method("Percent", &CProgressBar::Percent);
  uibind::Class<CEntry> entry("Entry");
  entry.Inherits<CWidget>()
      .Method("SetText", &CEntry::SetText)
      .Method("Text", &CEntry::Text)
      .Method("SetPlaceholder", &CEntry::SetPlaceholder)
      .Method("SelectAll", &CEntry::SelectAll)
      .Method("SetActivatesDefault", &CEntry::SetActivatesDefault)
      .Method("SetCompletions", &CEntry::SetCompletions)
      .Method("CompletionCount", &CEntry::CompletionCount)
      .Method("Matches", &CEntry::Matches);
  uibind::Class<CTabStrip> strip("TabStrip");
  strip.Inherits<CWidget>()
      .Method("AddTab", &CTabStrip::AddTab)
      .Method("RemoveTab", &CTabStrip::RemoveTab)
      .Method("SetTitle", &CTabStrip::SetTitle)
      .Method("TitleOf", &CTabStrip::TitleOf)
      .Method("SetIcon", &CTabStrip::SetIcon)
      .Method("SetProgress", &CTabStrip::SetProgress)
      .Method("SetAudio", &CTabStrip::SetAudio)
      .Method("AudioOf", &CTabStrip::AudioOf)
      .Method("Select", &CTabStrip::Select)
      .Method("Selected", &CTabStrip::Selected)
      .Method("Move", &CTabStrip::Move)
      .Method("Count", &CTabStrip::Count)
      .Method("Order", &CTabStrip::Order)
      .Method("IndexOf", &CTabStrip::IndexOf)
      .Method("TitleGeometry", &CTabStrip::TitleGeometry)
      .Method("ScrollOffset", &CTabStrip::ScrollOffset)
      .Method("ScrollBy", &CTabStrip::ScrollBy);
  uibind::Class<CMenu> menu("Menu");
  menu.Inherits<CWidget>()
      .Method("Add", &CMenu::Add)
      .Method("AddWithKey", &CMenu::AddWithKey)
      .Method("KeyOf", &CMenu::KeyOf)
      .Method("AddSeparator", &CMenu::AddSeparator)
      .Method("Clear", &CMenu::Clear)
      .Method("Count", &CMenu::Count)
      .Method("PopupBelow", &CMenu::PopupBelow)
      .Method("Activate", &CMenu::Activate);
  uibind::Class<CDialog> dialog("Dialog");
  dialog.Inherits<CWidget>()
      .Method("SetContent", &CDialog::SetContent)
      .Method("AddButton", &CDialog::AddButton)
      .Method("Close", &CDialog::Close)
      .Method("Respond", &CDialog::Respond);

  uibind::NamespaceDeclaration ui("ui");
  ui.Add(uibind::Function("main_window", &MainWindow))
      .Add(uibind::Function("page_area", &PageArea))
      .Add(uibind::Function("box", &NewBox))
      .Add(uibind::Function("button", &NewButton))
      .Add(uibind::Function("label", &NewLabel))
      .Add(uibind::Function("image", &NewImage))
      .Add(uibind::Function("progress", &NewProgress))
      .Add(uibind::Function("entry", &NewEntry))
      .Add(uibind::Function("tabstrip", &NewTabStrip))
      .Add(uibind::Function("menu", &NewMenu))
      .Add(uibind::Function("dialog", &NewDialog))
      .Add(uibind::Function("style", &Style))
      .Add(uibind::Function("show_page", &ShowPage))
      .Add(uibind::Function("set_current_tab", &SetCurrentTab))
      .Add(uibind::Function("add_bookmark", &AddBookmark));

  return host.Insert(std::move(widget)) && host.Insert(std::move(window)) && host.Insert(std::move(hostWidget)) &&
         host.Insert(std::move(box)) && host.Insert(std::move(button)) && host.Insert(std::move(label)) &&
         host.Insert(std::move(image)) && host.Insert(std::move(progress)) && host.Insert(std::move(entry)) &&
         host.Insert(std::move(strip)) && host.Insert(std::move(menu)) && host.Insert(std::move(dialog)) &&
         host.Insert(std::move(ui));
}

}  // namespace browser
