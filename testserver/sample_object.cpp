#include "testserver/sample_object.h"

namespace {
std::atomic<long> g_live_objects{0};
}  // namespace

long live_object_count() {
  return g_live_objects.load();
}

SampleObject::SampleObject(Accounting accounting) : accounting_(accounting) {
  if (accounting_ == Accounting::kCounted) ++g_live_objects;
}

SampleObject::~SampleObject() {
  if (accounting_ == Accounting::kCounted) --g_live_objects;
}

ULONG SampleObject::release() {
  const ULONG left = refs_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}
