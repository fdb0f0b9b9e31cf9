#pragma once

#include <cstdint>
#include <ctime>

namespace tavro {

// Seconds east of universal time, as the time zone says now. The change test
// takes this one offset for both files, as the MS-DOS stamps of the backup
// format always did.
long currentUtcOffset();

// The key on which the change test compares two files: the two-second step
// of local time the file was last written in. Within the MS-DOS date range
// (1980 to 2107) two keys are equal exactly when the two files' MS-DOS
// stamps are; outside it the key still exists, so such a file is copied
// once and then left alone.
std::int64_t changeKey(const timespec& modified, long utcOffset);

}  // namespace tavro
