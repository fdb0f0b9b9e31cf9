#pragma once

#include <cstdint>
#include <ctime>

namespace tavro {

// The change test takes one offset from universal time for both files
// (currentUtcOffset, in platform/clock.h), as the MS-DOS stamps of the
// backup format always did.

// The key on which the change test compares two files: the two-second step
// of local time the file was last written in. Within the MS-DOS date range
// (1980 to 2107) two keys are equal exactly when the two files' MS-DOS
// stamps are; outside it the key still exists, so such a file is copied
// once and then left alone.
std::int64_t changeKey(const timespec& modified, long utcOffset);

// How finely a target keeps last-write times, found once per pair folder by
// giving a file a time and reading it back. A copy takes its source's time,
// so where the target keeps it exactly a same-size rewrite within the same
// two seconds is still seen; the two-second steps stay only for targets that
// cannot do better (FAT, exFAT), and for a target not probed.
struct TimePrecision {
  // The nanoseconds a kept time is cut down to a multiple of: 1 keeps it
  // exact, 1000000000 whole seconds. 0 for the two-second steps of local
  // time.
  long unit = 0;

  bool same(const timespec& a, const timespec& b, long utcOffset) const;
  // What the target did to the time `set`, read back as `kept`.
  static TimePrecision ofProbe(const timespec& set, const timespec& kept);
};

}  // namespace tavro
