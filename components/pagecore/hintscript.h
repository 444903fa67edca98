#pragma once
// The scripts of link hints, run by the engine in its own script world of the top-level
// document (the page shares the document with that world, none of its globals: the page
// cannot read the elements found, call the follow, or forge an answer). Each script's
// value is an object the engine hands back as JSON text.
#include <cstddef>
#include <string>
#include <vector>

namespace pagecore {

// At most this many elements get a label.
constexpr size_t kHintLimit = 2000;

// Finds the links, buttons and form fields in view, in the document, its same-origin
// frames and open shadow roots: {count}. When a form field has the keyboard it finds
// nothing and types `key` there instead: {editing: true}.
std::string HintCollectScript(const std::wstring& key);
// Draws the labels, one per element found, in their order.
std::string HintDrawScript(const std::vector<std::wstring>& labels);
// Hides the labels that do not begin with `typed`.
std::string HintFilterScript(const std::wstring& typed);
// Removes the labels and follows element `index`: a link opened in a new tab answers
// {url}; otherwise the element is clicked (a field gets the keyboard): {done: true}.
// {gone: true} when the document no longer has the hints.
std::string HintFollowScript(size_t index, bool newTab);
// Removes the labels.
std::string HintLeaveScript();

}  // namespace pagecore
