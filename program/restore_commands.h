#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pairs/pair_table.h"
#include "platform/file_system.h"

namespace tavro {

class CommandLineHost;

// The pair whose source holds `path` (the innermost, where sources nest),
// and the path's place in it ("" for the source itself).
struct PairPath {
  BackupPair pair;
  std::string relative;
};
std::optional<PairPath> findPairOf(FileSystem& fs, const std::vector<BackupPair>& pairs,
                                   const std::string& path);

// "tavro --versions PATH": the versions of a file or folder of a pair.
int listVersions(FileSystem& fs, const std::string& path);
// "tavro --restore PATH [--as-of STAMP] [--to FOLDER]": restores it as it
// was then, into FOLDER or a new folder beside the original; nothing there
// is replaced.
int restoreFromCommandLine(FileSystem& fs, CommandLineHost& host, const std::string& path,
                           const std::optional<std::string>& asOf,
                           const std::optional<std::string>& to);

}  // namespace tavro
