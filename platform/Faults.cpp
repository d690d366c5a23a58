// The fault-injection seam: each call is counted, and the one the plan names
// fails the way it says. The plan is process-wide; only tests set it.
#include "platform/Faults.h"

#include <cstdlib>
#include <string>

#include "platform/Platform.h"

namespace platform {

std::size_t RealReadAt(FileHandle h, std::uint64_t offset, void* buffer, std::size_t count);
std::size_t RealWrite(FileHandle h, const void* buffer, std::size_t count);
bool RealSync(FileHandle h);
std::uint64_t RealCopyRange(FileHandle from, std::uint64_t offset, std::uint64_t count, FileHandle to, CopyWay way);
bool RealCreateBeside(const std::string& folder, const std::string& prefix, unsigned mode, NewFile& file);
bool RealPlaceOver(NewFile& file, const std::string& target, FileHandle held);

namespace {

struct Counters {
  tFaultPlan plan{};
  int reads = 0, writes = 0, syncs = 0, moves = 0, creates = 0;
};

Counters& State() {
  static Counters state;  // test builds only
  return state;
}

}  // namespace

std::size_t ReadAt(FileHandle h, std::uint64_t offset, void* buffer, std::size_t count) {
  Counters& s = State();
  ++s.reads;
  if (s.reads == s.plan.FailReadAt) return 0;
  if (s.reads == s.plan.ShortReadAt && count > 1) count /= 2;
  return RealReadAt(h, offset, buffer, count);
}

std::size_t Write(FileHandle h, const void* buffer, std::size_t count) {
  Counters& s = State();
  ++s.writes;
  if (s.writes == s.plan.FailWriteAt) return 0;
  if (s.writes == s.plan.ShortWriteAt && count > 1) return RealWrite(h, buffer, count / 2);
  return RealWrite(h, buffer, count);
}

// A copy into a new file is a write of it.
std::uint64_t CopyRange(FileHandle from, std::uint64_t offset, std::uint64_t count, FileHandle to, CopyWay way) {
  Counters& s = State();
  ++s.writes;
  if (s.writes == s.plan.FailWriteAt) return 0;
  if (s.plan.CopyWay == 1) way = CopyWay::KernelOnly;
  if (s.plan.CopyWay == 2) way = CopyWay::BufferOnly;
  if (s.writes == s.plan.ShortWriteAt && count > 1) return RealCopyRange(from, offset, count / 2, to, way);
  return RealCopyRange(from, offset, count, to, way);
}

bool Sync(FileHandle h) {
  Counters& s = State();
  return ++s.syncs != s.plan.FailSyncAt && RealSync(h);
}

bool CreateBeside(const std::string& folder, const std::string& prefix, unsigned mode, NewFile& file) {
  Counters& s = State();
  return ++s.creates != s.plan.FailCreateAt && RealCreateBeside(folder, prefix, mode, file);
}

bool PlaceOver(NewFile& file, const std::string& target, FileHandle held) {
  Counters& s = State();
  return ++s.moves != s.plan.FailMoveAt && RealPlaceOver(file, target, held);
}

void SetFaultPlan(const tFaultPlan* plan) {
  State() = {};
  if (plan) State().plan = *plan;
}

}  // namespace platform
