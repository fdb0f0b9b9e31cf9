#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/file_system.h"

namespace tavro {

// A file's last-write time as an MS-DOS date and time in local time: date in
// the upper 16 bits, time in the lower 16, seconds in steps of two, years
// 1980 to 2107. kNoStamp stands for "no file".
using FileStamp = std::int64_t;
inline constexpr FileStamp kNoStamp = -1;

// Seconds east of universal time, as the time zone says now. Both directions
// of the conversion use this one offset, as the MS-DOS stamps always did, so
// a stamp turned into a time and back is the same stamp.
long currentUtcOffset();

// kNoStamp when the local time lies outside 1980..2107.
FileStamp dosStampOf(std::time_t universal, long utcOffset);
// The universal time a stamp stands for; the stamp must be valid.
std::time_t timeOfDosStamp(FileStamp stamp, long utcOffset);

// The key on which the change test compares two files: the two-second step
// of local time the file was last written in. Within the MS-DOS range, two
// keys are equal exactly when the two stamps are; outside it the key still
// exists, so such a file is copied once and then left alone.
std::int64_t changeKey(const timespec& modified, long utcOffset);

// The stamp of the file a path names: kNoStamp when nothing is there, when it
// is a folder or a special file, or when its time lies outside the range.
FileStamp fileStamp(FileSystem& fs, const std::string& path);

// A file (or a symbolic link) is there, whatever its time.
bool fileExists(FileSystem& fs, const std::string& path);

}  // namespace tavro
