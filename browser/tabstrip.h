#pragma once
// The tab strip: one tab per browser tab, keyed by the tab's id. Each shows a favicon, a
// progress mark while loading, the title, a speaker mark while the page plays sound, and
// a close button. Signals: "select" (id: a click on a tab), "close" (id: its close button
// or a middle click), "reorder" ("id index": the user dragged tab id to 0-based index),
// "layout" (the tabs were laid out anew: their places are known).
#include <map>
#include <string>
#include <vector>

#include "browser/widget.h"

namespace browser {

class CTabStrip : public CWidget {
 public:
  CTabStrip();
  ~CTabStrip() override;
  // Adds a tab at `index` (-1 or past the end: last). False when the id is there already
  // or is 0.
  bool AddTab(unsigned int id, int index);
  bool RemoveTab(unsigned int id);
  bool SetTitle(unsigned int id, const std::string& title);
  std::string TitleOf(unsigned int id) const;
  // An image file for the favicon; an empty or unreadable path shows the default icon.
  bool SetIcon(unsigned int id, const std::string& path);
  // 0 to 100; 100 hides the mark.
  bool SetProgress(unsigned int id, int percent);
  bool SetAudio(unsigned int id, bool playing);
  bool AudioOf(unsigned int id) const;
  // Marks the selected tab (0: none).
  bool Select(unsigned int id);
  unsigned int Selected() const { return m_selected; }
  // Moves a tab to a 0-based index (clamped).
  bool Move(unsigned int id, int index);
  int Count() const { return static_cast<int>(m_order.size()); }
  // The ids in their order, separated by spaces.
  std::string Order() const;
  int IndexOf(unsigned int id) const;
  // Where the tab's title sits in its window: "x y width height" ("" without such a tab).
  std::string TitleGeometry(unsigned int id) const;

  // The index a tab dropped at horizontal position `x` of the strip goes to, from the
  // tabs' left edges and widths (also for tests).
  static int DropIndex(const std::vector<std::pair<int, int>>& tabs, int x);

 private:
  struct Tab {
    GtkWidget* box;  // the event box that is the tab
    GtkWidget* icon;
    GtkWidget* spinner;
    GtkWidget* title;
    GtkWidget* speaker;
    bool playing = false;
  };
  const Tab* FindTab(unsigned int id) const;
  static gboolean OnPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnRelease(GtkWidget*, GdkEventButton* event, gpointer self);
  unsigned int IdOfBox(GtkWidget* box) const;

  std::map<unsigned int, Tab> m_tabs;
  std::vector<unsigned int> m_order;
  unsigned int m_selected = 0;
  // A press of the first button on a tab: it is dragged until the release.
  unsigned int m_pressed = 0;
  double m_pressX = 0;
  guint m_layoutIdle = 0;
};

}  // namespace browser
