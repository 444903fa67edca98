#pragma once
// An engine's side of the orders, faked for the page core: every action the core asks
// for is written down as one line ("Navigate http://...", "Save pdf"), and so is every
// event, so that a test compares what the core made of an order with what it should.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "components/pagecore/pageactions.h"
#include "platform/text.h"

class FakePageActions : public pagecore::IPageActions {
 public:
  void Navigate(const std::wstring& url) override { Note(L"Navigate " + url); }
  void GoBy(int step, const std::wstring& order) override { Note(L"GoBy " + std::to_wstring(step) + L" " + order); }
  void StopLoading() override { Note(L"StopLoading"); }
  void Reload() override { Note(L"Reload"); }
  void Save(const std::string& kind) override { Note(L"Save " + platform::Utf8ToWide(kind)); }
  void ViewSource() override { Note(L"ViewSource"); }
  void Find(const std::wstring& text) override { Note(L"Find " + text); }
  void MoveView(const RECT& r) override {
    Note(L"MoveView " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) +
         L"," + std::to_wstring(r.bottom));
  }
  void SetAudio(bool enable) override { Note(enable ? L"SetAudio on" : L"SetAudio off"); }
  void Close(bool keep) override { Note(keep ? L"Close kept" : L"Close"); }
  void ReadText(bool source) override { Note(source ? L"ReadText source" : L"ReadText"); }
  void EndRenderer() override { Note(L"EndRenderer"); }
  void RefuseNavigation(const std::string& why) override { Note(L"RefuseNavigation " + platform::Utf8ToWide(why)); }
  using ScriptDone = std::function<void(const std::string& error, const std::string& json)>;
  void RunEngineScript(const std::string& script, ScriptDone done) override {
    scripts.push_back(script);
    waiting.push_back(std::move(done));
  }
  // Answers the oldest script that waits, as the engine would; false when none waits.
  bool AnswerScript(const std::string& json, const std::string& error = "") {
    if (waiting.empty()) return false;
    ScriptDone done = std::move(waiting.front());
    waiting.pop_front();
    done(error, json);
    return true;
  }
  void OpenWindow(const std::wstring& url, bool background) override {
    Note(L"OpenWindow " + url + (background ? L" background" : L""));
  }
  pagecore::CHintDriver& Hints() override { return hints; }
  HWND View() const override { return view; }
  std::string Name() const override { return "fake page"; }
  void Emit(const wchar_t* key, const webpage::KeyValues& values) override {
    std::wstring line = L"event " + std::wstring(key);
    for (const auto& value : values) line += L" " + value.first + L"=" + value.second;
    Note(line);
  }

  std::vector<std::wstring> calls;
  std::vector<std::string> scripts;
  std::deque<ScriptDone> waiting;
  pagecore::CHintDriver hints;
  HWND view = nullptr;

 private:
  void Note(const std::wstring& line) { calls.push_back(line); }
};
