// The fault-injection plug-in's one export beyond the ten: tests set the
// plan of which platform call fails through it.
#include "platform/Faults.h"
#include "plugin/public/iwcxhead.h"

extern "C" WCX_EXPORT void WCX_API SetFaultPlan(const tFaultPlan* plan) { platform::SetFaultPlan(plan); }
