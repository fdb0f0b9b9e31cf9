#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/regional_formats.h"

namespace tavro {

class LogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One entry of the run log: the short date, ":", the long time, a line of 37
// hyphens, then the run's message lines; every line ends in CR LF.
std::string runLogEntry(const std::vector<std::string>& lines, const LocalDateTime& now,
                        const RegionalFormats& formats);

// Appends the entry for a finished run to the log at `path`, creating the
// file when it is missing. The entry goes in one write, so a failure leaves
// at most a cut-off last entry. Throws LogError naming the file and the
// system's reason.
void writeRunLog(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines,
                 const LocalDateTime& now, const RegionalFormats& formats);

}  // namespace tavro
