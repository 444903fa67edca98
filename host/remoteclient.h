#pragma once
// The client side of the remote command protocol (remoteprotocol.h): sends one request
// line to the browser running on a profile and reads its answer line.
#include <string>
#include <vector>

enum class RemoteResult {
  Answered,   // `answer` holds the browser's answer line
  NoBrowser,  // no browser listens on the profile
  Failed,     // the connection failed or the answer did not come in time (`error`)
};

// The socket of a profile's running browser.
std::string RemoteSocketPath(const std::string& profile);

RemoteResult SendRemoteLine(const std::string& profile, const std::string& line, std::string* answer,
                            std::string* error, int timeoutMs = 15000);

// What a program started with addresses does first: when another program runs on the
// profile (it holds the profile's lock), the addresses open there as new tabs. Returns
// the exit status then (0: all opened), or -1 when no program runs there and this one
// starts. `program` prefixes its messages.
int OpenInRunningBrowser(const char* program, const std::string& profile, const std::vector<std::string>& urls);
