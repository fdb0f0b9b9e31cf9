#include "log/run_log.h"

#include <cerrno>

namespace tavro {

std::string runLogEntry(const std::vector<std::string>& lines, const LocalDateTime& now,
                        const RegionalFormats& formats) {
  std::string entry = formatShortDate(now, formats) + ":" +
                      formatLongTime(now.hour, now.minute, now.second, formats) + "\r\n";
  entry += std::string(37, '-') + "\r\n";
  for (const auto& line : lines) entry += line + "\r\n";
  return entry;
}

void writeRunLog(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines,
                 const LocalDateTime& now, const RegionalFormats& formats) {
  const auto [folderPath, name] = splitPath(path);
  auto fail = [&](int error) {
    throw LogError("Cannot write the log file \"" + path + "\". " + systemReason(error));
  };

  makeFolderChain(fs, folderPath);
  auto folder = fs.openFolder(folderPath);
  if (!folder.ok()) fail(folder.error);
  auto file = folder.value->appendFile(name);
  if (!file.ok()) fail(file.error);

  if (Status put = writeAll(*file.value, runLogEntry(lines, now, formats)); !put.ok()) {
    fail(put.error);
  }
  if (Status closed = file.value->close(); !closed.ok()) fail(closed.error);
}

}  // namespace tavro
