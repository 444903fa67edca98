#pragma once
// What a FilterSet holds; filled by the builder's list loading, read only afterwards.
#include <string>
#include <vector>

#include "components/contentfilter/contentfilter.h"
#include "components/contentfilter/element_hiding.h"
#include "components/contentfilter/network_matcher.h"

namespace contentfilter {

class FilterSetData {
 public:
  RuleSet blocking;
  RuleSet exceptions;
  // The exceptions that concern a whole page ($document, $elemhide, $generichide) again,
  // on their own: a small set, and none at all means no page needs checking.
  RuleSet pageExceptions;
  ElementHiding hiding;
  std::vector<std::string> trustedOrigins;  // as SplitAddress writes origins
  LoadStats stats;
  std::string genericSheet;  // the generic selectors' style sheet, made by Index

  // One list's text: every line is used or counted (list_loader.cpp).
  void AddListText(std::string_view text, const std::string& listName);
  void Index();
};

// "selector { display: none !important; }" per selector, one a line.
std::string StyleSheetOf(const std::vector<std::string>& selectors);

}  // namespace contentfilter
