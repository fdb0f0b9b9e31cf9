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

void ZapisLog(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines,
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

  const std::string entry = runLogEntry(lines, now, formats);
  std::size_t done = 0;
  while (done < entry.size()) {
    const auto put = file.value->write(entry.data() + done, entry.size() - done);
    if (!put.ok()) fail(put.error);
    if (put.value == 0) fail(EIO);
    done += put.value;
  }
  if (Status closed = file.value->close(); !closed.ok()) fail(closed.error);
}

}  // namespace tavro
