#pragma once
// The base of the widget classes the Lua chrome builds its window from. Every widget has
// a number; its GTK signals reach the script as OnWidgetSignal(number, signal, arg)
// through the sink the host installs. Widgets live until the program ends (the script
// holds plain references); one that was destroyed answers every call with an error,
// which reaches Lua as a Lua error, never as a crash. GTK thread only.
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

namespace browser {

// Receives every widget signal; returns true when the script handled it.
using SignalSink = std::function<bool(unsigned int id, const std::string& signal, const std::string& arg)>;

class CWidget {
 public:
  virtual ~CWidget();
  CWidget(const CWidget&) = delete;
  CWidget& operator=(const CWidget&) = delete;

  unsigned int Id() const { return m_id; }
  bool Alive() const { return m_widget != nullptr; }
  // The GTK widget; throws once it was destroyed.
  GtkWidget* Gtk() const;

  void Show();
  void Hide();
  bool Visible() const;
  void SetSensitive(bool on);
  void SetTooltip(const std::string& text);
  // A size request in pixels; -1 leaves a dimension natural.
  void SetSize(int width, int height);
  // Gives the widget the keyboard; a container that takes none itself (the page area)
  // gives it to its first shown child that does.
  void GrabFocus();
  // True when the widget, or a widget inside it, has the keyboard of an active window.
  bool HasFocus() const;
  // A CSS class, for the chrome's style sheet.
  void AddStyle(const std::string& name);
  void RemoveStyle(const std::string& name);
  // The widget's place in its window and its size: "x y width height" (all 0 when it is
  // not shown).
  std::string Geometry() const;
  void Destroy();

  // Installs the one sink of all widgets (null: signals go nowhere).
  static void SetSignalSink(SignalSink sink);
  // Registers `widget`: the registry keeps it until ReleaseAll. Returns it.
  template <class T>
  static T* Keep(std::unique_ptr<T> widget) {
    T* raw = widget.get();
    Register(std::move(widget));
    return raw;
  }
  static CWidget* Find(unsigned int id);
  // At exit, after the script is gone.
  static void ReleaseAll();

 protected:
  // Takes ownership of a floating reference of `widget`.
  explicit CWidget(GtkWidget* widget);
  bool Emit(const std::string& signal, const std::string& arg = std::string()) const;
  // Emits "focus" with "in" or "out" as the (top-level) widget gets or loses the keyboard.
  void EmitFocusChanges();

 private:
  static void Register(std::unique_ptr<CWidget> widget);
  static void OnDestroyed(GtkWidget*, gpointer self);
  GtkWidget* m_widget;
  unsigned int m_id;
};

// Gives a top-level window the keyboard each time it is shown: without a window manager
// nobody else does, and X gives it only to a window that is shown.
void FocusWhenShown(GtkWidget* window);
// Gives a shown top-level window the keyboard (the main window after its dialog closed).
void FocusWindow(GtkWindow* window);

// Checks applied to arguments from the script: each throws std::invalid_argument naming
// the method, which becomes a Lua error.
void Require(bool condition, const char* what);

}  // namespace browser
