// The form's monitor and the covered ones.
#include "platform/shared/monitor_plan.h"

#include <algorithm>

namespace platform {

MonitorPlan PlanMonitors(const std::vector<Monitor>& monitors, const Monitor& whole_desktop, const Monitor& form_now) {
  std::vector<Monitor> usable;
  for (const Monitor& monitor : monitors)
    if (monitor.w > 0 && monitor.h > 0) usable.push_back(monitor);
  MonitorPlan plan;
  if (usable.empty()) {
    plan.form = whole_desktop.w > 0 && whole_desktop.h > 0 ? whole_desktop : form_now;
    return plan;
  }
  auto form = std::find_if(usable.begin(), usable.end(), [](const Monitor& m) { return m.primary; });
  if (form == usable.end())
    form = std::find_if(usable.begin(), usable.end(), [](const Monitor& m) { return m.x == 0 && m.y == 0; });
  if (form == usable.end()) form = usable.begin();
  plan.form = *form;
  for (const Monitor& monitor : usable) {
    if (plan.form.Contains(monitor)) continue;
    if (std::find(plan.blanks.begin(), plan.blanks.end(), monitor) != plan.blanks.end()) continue;
    plan.blanks.push_back(monitor);
  }
  return plan;
}

}  // namespace platform
