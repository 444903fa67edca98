#pragma once
// Link hints: a short label on every link, button and form field in view, and the one
// whose label the user types is followed (into a new background tab when asked). The
// host sends "SHOWHINTS", "HINTKEY" and "HIDEHINTS"; the page answers "HINTS" with the
// labels still matching (0: hint mode is over). The labels are made and matched here, for
// both engines; the engine only runs the hint scripts (hintscript.h) in its own script
// world, whose answers no page script can reach or fake.
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace pagecore {

class IPageActions;

// The home row: the letters under the fingers at rest.
extern const wchar_t kHintAlphabet[];

// `count` labels of `alphabet`'s letters, all of one length (the shortest that gives
// enough), so that no label is the beginning of another; in the order of the alphabet.
std::vector<std::wstring> HintLabels(size_t count, const std::wstring& alphabet = kHintAlphabet);

// The keys typed against a set of labels. Pure logic, no page.
class CHintSession {
 public:
  struct Step {
    enum class Kind { Narrowed, Follow, Leave } kind = Kind::Leave;
    size_t index = 0;      // Follow: the element
    size_t remaining = 0;  // Narrowed: the labels that still match
  };
  void Start(std::vector<std::wstring> labels);
  // A key typed: the labels narrowed to those that begin with all keys so far, the one
  // that matches whole followed, or hint mode left when none begins so. Letters are
  // matched whatever their case.
  Step Key(wchar_t key);
  const std::wstring& Typed() const { return m_typed; }
  const std::vector<std::wstring>& Labels() const { return m_labels; }

 private:
  std::vector<std::wstring> m_labels;
  std::wstring m_typed;
};

// One page's hints, driven by the host's orders on the engine's page thread. The engine's
// script results come back there too; an answer for a hint round that has ended since
// (left, or shown again) is dropped.
class CHintDriver {
 public:
  // "SHOWHINTS": labels on the elements in view. When a form field has the keyboard there
  // is no hint mode: `key` (the key that asked for hints) is typed into the field instead.
  void Show(IPageActions& page, bool newTab, const std::wstring& key);
  // "HINTKEY": a key typed while the hints are shown (kept until they are).
  void Key(IPageActions& page, wchar_t key);
  // "HIDEHINTS", or the page went elsewhere.
  void Leave(IPageActions& page);

 private:
  enum class State { Idle, Collecting, Shown };
  void Collected(IPageActions& page, const std::string& json);
  void Apply(IPageActions& page, wchar_t key);
  void Follow(IPageActions& page, size_t index);
  void Tell(IPageActions& page, size_t count, bool editing = false);

  State m_state = State::Idle;
  unsigned m_round = 0;
  bool m_newTab = false;
  CHintSession m_session;
  std::deque<wchar_t> m_early;  // keys typed while the labels are made
};

}  // namespace pagecore
