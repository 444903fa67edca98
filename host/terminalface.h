#pragma once
// The shell's face of the browser: the terminal. Lines typed at the prompt (GNU readline
// on a terminal) go to the script; its loop waits on the input, the library's
// notifications, the script's timers and the quit signals together, with poll.
#include <memory>
#include <string>

#include "host/browsersession.h"
#include "host/lineeditor.h"

class CTerminalFace : public CSessionFace {
 public:
  // `uiDir`: the terminal interface's folder, where its modules are found.
  explicit CTerminalFace(std::string uiDir);
  ~CTerminalFace() override;

  bool Install(CBrowserSession& session, std::string* error) override;
  void Run(CBrowserSession& session) override;
  void Uninstall(CBrowserSession& session) override;

 private:
  std::string m_uiDir;
  std::unique_ptr<CLineEditor> m_editor;
};
