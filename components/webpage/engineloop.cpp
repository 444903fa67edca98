#include "components/webpage/engineloop.h"

#include <string>

#include "components/webpage/weblog.h"

namespace webpage {

CEngineLoop::CEngineLoop() : m_loop("engine", platform::CTaskLoop::Mode::OwnThread, platform::CTaskLoop::OnStop::Drop) {
  m_loop.SetReportHook([](const std::string& line) { LogError("engine " + line); });
  if (!m_loop.Start()) LogError("cannot start the engine thread");
}

CEngineLoop::~CEngineLoop() { m_loop.Stop(); }

}  // namespace webpage
