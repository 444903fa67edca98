#pragma once
// A unit of work for one of the two worker queues.
#include "uicontrol/export.h"

class UICONTROL_API ITabTask {
 public:
  virtual ~ITabTask() = default;
  // Runs on the worker thread. True lets the serving loop go on; false ends it.
  virtual bool Execute() = 0;
};

// Ends the serving loop of the queue it is posted to.
class UICONTROL_API TaskQuitLoop : public ITabTask {
 public:
  bool Execute() override { return false; }
};
