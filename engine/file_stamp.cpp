#include "engine/file_stamp.h"

namespace tavro {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

long currentUtcOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return local.tm_gmtoff;
}

FileStamp dosStampOf(std::time_t universal, long utcOffset) {
  const std::time_t shifted = universal + utcOffset;
  std::tm t{};
  if (::gmtime_r(&shifted, &t) == nullptr) return kNoStamp;
  const int year = t.tm_year + 1900;
  if (year < 1980 || year > 2107) return kNoStamp;
  const std::uint32_t date = static_cast<std::uint32_t>(((year - 1980) << 9) |
                                                        ((t.tm_mon + 1) << 5) | t.tm_mday);
  const std::uint32_t time = static_cast<std::uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) |
                                                        (t.tm_sec / 2));
  return static_cast<FileStamp>((date << 16) | time);
}

std::time_t timeOfDosStamp(FileStamp stamp, long utcOffset) {
  const auto value = static_cast<std::uint32_t>(stamp);
  std::tm t{};
  t.tm_year = static_cast<int>((value >> 25) & 0x7F) + 80;
  t.tm_mon = static_cast<int>((value >> 21) & 0x0F) - 1;
  t.tm_mday = static_cast<int>((value >> 16) & 0x1F);
  t.tm_hour = static_cast<int>((value >> 11) & 0x1F);
  t.tm_min = static_cast<int>((value >> 5) & 0x3F);
  t.tm_sec = static_cast<int>(value & 0x1F) * 2;
  return ::timegm(&t) - utcOffset;
}

std::int64_t changeKey(const timespec& modified, long utcOffset) {
  return floorDiv(static_cast<std::int64_t>(modified.tv_sec) + utcOffset, 2);
}

FileStamp fileStamp(FileSystem& fs, const std::string& path) {
  const auto info = fs.stat(path);
  if (!info.ok() || info.value.kind != EntryKind::File) return kNoStamp;
  return dosStampOf(info.value.modified.tv_sec, currentUtcOffset());
}

bool fileExists(FileSystem& fs, const std::string& path) {
  const auto info = fs.stat(path);
  return info.ok() && (info.value.kind == EntryKind::File || info.value.kind == EntryKind::Link);
}

}  // namespace tavro
