#include "components/webpage/newestevents.h"

namespace webpage {

bool CNewestEvents::Offer(const std::string& key, Json event) {
  platform::CMutexLock guard(m_mutex);
  auto it = m_waiting.find(key);
  if (it != m_waiting.end()) {
    it->second = std::move(event);
    return false;
  }
  m_waiting.emplace(key, std::move(event));
  return true;
}

bool CNewestEvents::Take(const std::string& key, Json* event) {
  platform::CMutexLock guard(m_mutex);
  auto it = m_waiting.find(key);
  if (it == m_waiting.end()) return false;
  *event = std::move(it->second);
  m_waiting.erase(it);
  return true;
}

std::string CNewestEvents::KeyOf(const Json& event) {
  auto method = event.find("method");
  if (method == event.end() || !method->is_string() || *method != "Target.targetInfoChanged") return "";
  if (event.contains("sessionId")) return "";
  auto params = event.find("params");
  if (params == event.end() || !params->is_object()) return "";
  auto info = params->find("targetInfo");
  if (info == params->end() || !info->is_object()) return "";
  auto target = info->find("targetId");
  if (target == info->end() || !target->is_string() || target->get_ref<const std::string&>().empty()) return "";
  return "info:" + target->get<std::string>();
}

}  // namespace webpage
