#pragma once
// The scripts that apply element hiding in Chromium, in the engine's own script world of
// each frame, as constructed style sheets of the document (so that nothing is added to
// its tree): the generic sheet at the start of every new document, and what a document
// needs on top (its own rules, or the generic sheet taken away) once its address is known.
#include <string>
#include <vector>

namespace webpage {

// For Page.addScriptToEvaluateOnNewDocument: adopts `genericSheet` unless the document's
// origin is one of `trustedOrigins`.
std::string GenericHidingScript(const std::string& genericSheet, const std::vector<std::string>& trustedOrigins);
// For Runtime.evaluate in a frame's engine world after the generic script ran there:
// drops the generic sheet unless `withGeneric`, and adopts `ownSheet` when not empty.
std::string DocumentHidingScript(bool withGeneric, const std::string& ownSheet);

}  // namespace webpage
