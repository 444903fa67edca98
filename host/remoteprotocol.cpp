#include "host/remoteprotocol.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "uicontrol/version.h"

using nlohmann::json;

namespace {

// Every answer and forwarded request is written in ASCII, with any text that is not
// UTF-8 replaced: a page title never makes an answer unwritable.
std::string Line(const json& value) { return value.dump(-1, ' ', true, json::error_handler_t::replace); }

bool PositiveId(const json& request, long long* id) {
  auto it = request.find("id");
  if (it == request.end() || !it->is_number_integer()) return false;
  *id = it->get<long long>();
  return *id > 0 && *id <= 0xffffffffLL;
}

bool Address(const json& request, std::string* url) {
  auto it = request.find("url");
  if (it == request.end() || !it->is_string()) return false;
  *url = it->get<std::string>();
  return !url->empty();
}

RemoteParse Error(const std::string& text) { return {RemoteParse::Answer, RemoteError(text)}; }

}  // namespace

std::string RemoteError(const std::string& text) { return Line(json{{"ok", false}, {"error", text}}); }

bool RemoteAnswerOk(const std::string& answer) {
  const json value = json::parse(answer, nullptr, false);
  if (!value.is_object()) return false;
  auto ok = value.find("ok");
  return ok != value.end() && ok->is_boolean() && ok->get<bool>();
}

RemoteParse ParseRemoteLine(const std::string& line) {
  if (line.size() > kRemoteMaxLine) return Error("the line is longer than " + std::to_string(kRemoteMaxLine) + " bytes");
  const json request = json::parse(line, nullptr, false);
  if (request.is_discarded()) return Error("not JSON");
  if (!request.is_object()) return Error("not a JSON object");
  auto v = request.find("v");
  if (v == request.end() || !v->is_number_integer()) return Error("no protocol version (\"v\":1)");
  if (v->get<long long>() != kRemoteProtocolVersion)
    return Error("unsupported protocol version " + v->dump() + " (this browser speaks 1)");
  auto cmdField = request.find("cmd");
  if (cmdField == request.end() || !cmdField->is_string()) return Error("no command (\"cmd\")");
  const std::string cmd = cmdField->get<std::string>();

  // Only the fields a command uses are handed on, checked.
  json checked{{"v", kRemoteProtocolVersion}, {"cmd", cmd}};
  std::string url;
  long long id = 0;
  if (cmd == "version") {
    return {RemoteParse::Answer,
            Line(json{{"ok", true}, {"v", kRemoteProtocolVersion}, {"version", UICONTROL_VERSION}})};
  } else if (cmd == "list") {
  } else if (cmd == "open") {
    if (!Address(request, &url)) return Error("open needs a url");
    checked["url"] = url;
    auto background = request.find("background");
    if (background != request.end()) {
      if (!background->is_boolean()) return Error("background is true or false");
      checked["background"] = background->get<bool>();
    }
  } else if (cmd == "navigate") {
    if (!PositiveId(request, &id) || !Address(request, &url)) return Error("navigate needs a tab id and a url");
    checked["id"] = id;
    checked["url"] = url;
  } else if (cmd == "close") {
    if (!PositiveId(request, &id)) return Error("close needs a tab id");
    checked["id"] = id;
  } else {
    return Error("unknown command " + Line(cmd));
  }
  return {RemoteParse::Forward, Line(checked)};
}

std::string RemoteOpenRequest(const std::string& url, bool background) {
  json request{{"v", kRemoteProtocolVersion}, {"cmd", "open"}, {"url", url}};
  if (background) request["background"] = true;
  return Line(request);
}

std::string RemoteRequestFromWords(int count, char** words, std::string* error) {
  auto id = [&](const char* word, long long* out) {
    char* end = nullptr;
    *out = std::strtoll(word, &end, 10);
    return *word && end && !*end && *out > 0;
  };
  const std::string cmd = count > 0 ? words[0] : "";
  json request{{"v", kRemoteProtocolVersion}, {"cmd", cmd}};
  long long tab = 0;
  if ((cmd == "version" || cmd == "list") && count == 1) return Line(request);
  if (cmd == "open" && count == 2) return RemoteOpenRequest(words[1]);
  if (cmd == "close" && count == 2 && id(words[1], &tab)) {
    request["id"] = tab;
    return Line(request);
  }
  if (cmd == "navigate" && count == 3 && id(words[1], &tab)) {
    request["id"] = tab;
    request["url"] = words[2];
    return Line(request);
  }
  *error = cmd.empty() ? "no command" : "cannot read the command " + cmd + " and its operands";
  return "";
}
