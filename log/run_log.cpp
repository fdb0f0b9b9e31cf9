#include "log/run_log.h"

#include <cerrno>

#include "platform/file_text.h"

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
  // The log keeps the encoding it has: its first bytes tell which.
  std::string start;
  if (appendingNeedsStart()) {
    if (auto old = folder.value->openFile(name); old.ok()) {
      start.resize(3);
      const auto got = old.value->read(start.data(), start.size());
      start.resize(got.ok() ? got.value : 0);
    }
  }
  auto file = folder.value->appendFile(name);
  if (!file.ok()) fail(file.error);

  const std::string entry = bytesToAppend(runLogEntry(lines, now, formats), start);
  if (Status put = writeAll(*file.value, entry); !put.ok()) {
    fail(put.error);
  }
  if (Status closed = file.value->close(); !closed.ok()) fail(closed.error);
}

}  // namespace tavro
