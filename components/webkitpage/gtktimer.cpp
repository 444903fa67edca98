#include "components/webkitpage/gtktimer.h"

#include <glib.h>

namespace webkitpage {

void RunAfter(std::chrono::milliseconds delay, std::function<void()> task) {
  auto* held = new std::function<void()>(std::move(task));
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(delay.count() < 0 ? 0 : delay.count()),
      [](gpointer data) -> gboolean {
        (*static_cast<std::function<void()>*>(data))();
        return G_SOURCE_REMOVE;
      },
      held, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

}  // namespace webkitpage
