// Fault injection for tests: a plan of which platform call fails and how.
// Only test builds of the plug-in contain it; the shipped plug-in has no
// trace of it.
#pragma once

extern "C" {

// Counts are 1-based numbers of calls since the plan was set; 0 means never.
struct tFaultPlan {
  int ShortReadAt = 0;   // that read delivers half of what it could
  int FailReadAt = 0;    // that read delivers nothing
  int ShortWriteAt = 0;  // that write stops after half (a full disk)
  int FailWriteAt = 0;   // that write writes nothing
  int FailSyncAt = 0;    // that flush to disk fails
  int FailMoveAt = 0;    // that replacement of one file by another fails
  int FailCreateAt = 0;  // that creation of a new file fails
  int CopyWay = 0;       // how ranges are copied: 0 as the system allows, 1 in the kernel only, 2 through a buffer only
};
}

namespace platform {
// Sets the plan (none: nothing fails) and starts counting calls afresh.
void SetFaultPlan(const tFaultPlan* plan);
}  // namespace platform
