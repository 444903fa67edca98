#pragma once
// The tab strip: one tab per browser tab, keyed by the tab's id. Each shows a favicon, a
// progress mark while loading, the title, a speaker mark while the page plays sound, and
// a close button. The tabs share the strip's width down to a minimum each; past that the
// strip scrolls (its arrow buttons, the wheel) and the selected tab is kept in view, so
// the strip never asks the window for more room. Signals: "select" (id: a click on a
// tab), "close" (id: its close button or a middle click), "reorder" ("id index": the user
// dragged tab id to 0-based index), "layout" (the tabs were laid out anew: their places
// are known).
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

  // How far the strip is scrolled, in pixels (0: the first tab at the left edge).
  int ScrollOffset() const;
  // Scrolls by `pixels` (negative: towards the first tab), within the strip's ends.
  void ScrollBy(int pixels);
  // The GTK widget of a tab (null when there is none), for tests.
  GtkWidget* TabWidget(unsigned int id) const;

  // Each tab's width when `count` tabs share `available` pixels with `spacing` between
  // them: an equal share, kept between the minimum and maximum width.
  static int TabWidth(int available, int count, int spacing);
  // The scroll offset that shows a tab at `left` of `width` in a view of `page` pixels
  // now scrolled to `offset`, moving as little as possible (the tab's left edge wins
  // when it does not fit).
  static int Reveal(int offset, int page, int left, int width);
  static constexpr int kMinTabWidth = 96;
  static constexpr int kMaxTabWidth = 220;
  static constexpr int kSpacing = 2;

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
  // From the idle callback after a layout: the tabs' width, then the selected tab shown.
  void Relayout();
  void ScheduleLayout();
  void UpdateArrows();
  GtkAdjustment* Adjustment() const;
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer self);

  std::map<unsigned int, Tab> m_tabs;
  std::vector<unsigned int> m_order;
  unsigned int m_selected = 0;
  // A press of the first button on a tab: it is dragged until the release.
  unsigned int m_pressed = 0;
  double m_pressX = 0;
  guint m_layoutIdle = 0;
  GtkWidget* m_tabsBox;   // the row of tabs, inside the scrolled view
  GtkWidget* m_scroller;  // scrolls the row without scroll bars
  GtkWidget* m_left;      // the arrow buttons
  GtkWidget* m_right;
  int m_tabWidth = kMaxTabWidth;
  // The selected tab is brought into view at the next layout (after a selection or a new
  // tab), not at every one: a scroll by the user stays.
  bool m_reveal = false;
};

}  // namespace browser
