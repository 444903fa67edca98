#include "browser/favoritedialog.h"

#include "browser/widget.h"
#include "browser/widgetbindings.h"

#include <atomic>
#include <string>

#include "platform/gtk/gtkthread.h"
#include "platform/text.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

// The top of the favourites; the library's folder id -1.
constexpr uint32_t kTopFolder = 0xFFFFFFFFu;

class CGtkAddFavoriteDialog : public IAddFavoriteDlg {
 public:
  explicit CGtkAddFavoriteDialog(GtkWindow* parent) : m_parent(parent) {}
  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid != IID_IUnknown && riid != IAddFavoriteDlg::iid) return E_NOINTERFACE;
    *ppv = static_cast<IAddFavoriteDlg*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_count; }
  ULONG Release() override {
    const ULONG count = --m_count;
    if (count == 0) delete this;
    return count;
  }

  HRESULT ShowDialog(uint32_t uParentId, HWND, int, int, int) override {
    AddRef();
    platform::gtk::PostToGtkThread([this, uParentId] {
      Show(uParentId);
      Release();
    });
    return S_OK;
  }

 private:
  virtual ~CGtkAddFavoriteDialog() = default;

  void Show(uint32_t parentId) {
    CTabManager& tm = CTabManager::Instance();
    const CLuaTabInfo tab = tm.FindTabInfoForLua(browser::CurrentTab());
    if (tab.uID == 0 || tab.strURL.empty()) {
      CTabManager::NotifyData(L"AddFavoriteDialog", L"no page");
      return;
    }
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Add bookmark", m_parent, GTK_DIALOG_MODAL, "_Cancel",
                                                    GTK_RESPONSE_CANCEL, "_Add", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 6);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 8);
    GtkWidget* name = gtk_entry_new();
    GtkWidget* address = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(name), 40);
    gtk_entry_set_text(GTK_ENTRY(name), platform::WideToUtf8(tab.strTitle.empty() ? tab.strURL : tab.strTitle).c_str());
    gtk_entry_set_text(GTK_ENTRY(address), platform::WideToUtf8(tab.strURL).c_str());
    gtk_entry_set_activates_default(GTK_ENTRY(name), TRUE);
    gtk_entry_set_activates_default(GTK_ENTRY(address), TRUE);
    gtk_grid_attach(GTK_GRID(grid), gtk_label_new("Name"), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), name, 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), gtk_label_new("Address"), 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), address, 1, 1, 1, 1);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid, TRUE, TRUE, 0);
    const std::wstring icon = tab.strIconPath;
    const int folder = parentId == kTopFolder ? -1 : static_cast<int>(parentId);
    struct Request {
      GtkWidget* name;
      GtkWidget* address;
      std::wstring icon;
      int folder;
    };
    auto* request = new Request{name, address, icon, folder};
    g_signal_connect_data(dialog, "response", G_CALLBACK(+[](GtkDialog* dialog, int response, gpointer data) {
                            auto* r = static_cast<Request*>(data);
                            const std::string title = gtk_entry_get_text(GTK_ENTRY(r->name));
                            const std::string url = gtk_entry_get_text(GTK_ENTRY(r->address));
                            if (response == GTK_RESPONSE_ACCEPT && !url.empty()) {
                              CTabManager& tm = CTabManager::Instance();
                              tm.AddFavoriteItem(r->folder, platform::Utf8ToWide(url), platform::Utf8ToWide(title),
                                                 r->icon);
                              tm.GetAllFavoriteItems();
                            }
                            GtkWindow* parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
                            gtk_widget_destroy(GTK_WIDGET(dialog));
                            browser::FocusWindow(parent);
                            CTabManager::NotifyData(L"AddFavoriteDialog", L"closed");
                          }),
                          request, +[](gpointer data, GClosure*) { delete static_cast<Request*>(data); },
                          GConnectFlags(0));
    browser::FocusWhenShown(dialog);
    g_signal_connect(dialog, "focus-in-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
                       CTabManager::NotifyData(L"AddFavoriteDialog", L"focused");
                       return FALSE;
                     }),
                     nullptr);
    gtk_widget_show_all(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    CTabManager::NotifyData(L"AddFavoriteDialog", L"shown");
  }

  GtkWindow* m_parent;
  std::atomic<ULONG> m_count{1};
};

}  // namespace

IAddFavoriteDlg* CreateGtkAddFavoriteDialog(GtkWindow* parent) { return new CGtkAddFavoriteDialog(parent); }
