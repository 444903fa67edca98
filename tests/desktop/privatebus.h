#pragma once
// A D-Bus session bus of a test's own (dbus-daemon --session), stopped with the object,
// and the environment of the programs a test starts pointed at it, at none, or at one
// that does not answer.
#include <sys/types.h>

#include <string>

namespace desktoptest {

class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  bool Ok() const { return !m_address.empty(); }
  const std::string& Address() const { return m_address; }
  static bool Available();

 private:
  pid_t m_pid = -1;
  std::string m_address;
};

// Sets DBUS_SESSION_BUS_ADDRESS for this process and its children (unset for an empty
// value) and puts the old value back when it goes.
class BusEnvironment {
 public:
  explicit BusEnvironment(const std::string& address);
  ~BusEnvironment();
  BusEnvironment(const BusEnvironment&) = delete;
  BusEnvironment& operator=(const BusEnvironment&) = delete;

 private:
  bool m_had = false;
  std::string m_old;
};

}  // namespace desktoptest
