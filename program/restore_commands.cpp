#include "program/restore_commands.h"

#include <iomanip>
#include <iostream>
#include <sstream>

#include "engine/history.h"
#include "engine/pair_mirror.h"
#include "engine/restore.h"
#include "platform/program_paths.h"
#include "program/command_line.h"

namespace tavro {

namespace {

int fail(const std::string& message) {
  std::cerr << "tavro: " << message << std::endl;
  return 2;
}

std::optional<std::vector<BackupPair>> readPairs(FileSystem& fs) {
  PairTable table(fs, ProgramPaths::locate().pairTable);
  try {
    table.open();
  } catch (const TableError& error) {
    fail(error.what());
    return std::nullopt;
  }
  std::vector<BackupPair> pairs;
  for (int row = 0; row < table.recordCount(); ++row) pairs.push_back(table.pairAt(row));
  return pairs;
}

// The pair of `path`, said to the user when there is none.
std::optional<PairPath> pairOf(FileSystem& fs, const std::string& path) {
  const auto pairs = readPairs(fs);
  if (!pairs) return std::nullopt;
  auto found = findPairOf(fs, *pairs, path);
  if (!found) fail(path + " neleží ve zdroji žádného páru z " + ProgramPaths::locate().pairTable);
  return found;
}

// `text` filled with blanks to `width` characters (not bytes).
std::string padded(std::string text, std::size_t width) {
  std::size_t characters = 0;
  for (char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  if (characters < width) text.append(width - characters, ' ');
  return text;
}

std::string sizeText(const BackupVersion& version) {
  if (version.kind == EntryKind::Folder) return "adresář";
  return std::to_string(version.size) + " B";
}

}  // namespace

std::optional<PairPath> findPairOf(FileSystem& fs, const std::vector<BackupPair>& pairs,
                                   const std::string& path) {
  const std::string whole = fs.resolve(path);
  std::optional<PairPath> best;
  std::size_t bestLength = 0;
  for (const BackupPair& pair : pairs) {
    if (pair.source.empty() || pair.target.empty()) continue;
    const std::string source = withoutTrailingSeparators(fs.resolve(pair.source));
    if (!isSameOrInside(whole, source) || (best && source.size() <= bestLength)) continue;
    std::string relative = whole.substr(source.size());
    while (!relative.empty() && isPathSeparator(relative.front())) relative.erase(0, 1);
    best = PairPath{pair, relative};
    bestLength = source.size();
  }
  return best;
}

int listVersions(FileSystem& fs, const std::string& path) {
  const auto found = pairOf(fs, path);
  if (!found) return 2;
  PairBackup backup(fs, found->pair.source, found->pair.target);
  const auto versions = backup.versions(found->relative);
  if (versions.empty()) {
    return fail(path + " v záloze " + backup.pairFolder() + " není ani v její historii");
  }
  std::cout << "Verze " << path << " v záloze " << backup.pairFolder() << ":\n";
  for (const BackupVersion& version : versions) {
    std::ostringstream size;
    size << std::setw(14) << sizeText(version);
    std::cout << "  "
              << padded(version.until ? historyStamp(*version.until) : std::string("aktuální"), 21)
              << size.str() << "  změněno " << historyStamp(version.modified) << "\n";
  }
  std::cout << "Verzi před zálohou v daném čase obnoví: tavro --restore CESTA --as-of \"ČAS\""
            << std::endl;
  return 0;
}

int restoreFromCommandLine(FileSystem& fs, CommandLineHost& host, const std::string& path,
                           const std::optional<std::string>& asOf,
                           const std::optional<std::string>& to) {
  RestorePoint point;
  if (asOf) {
    point.before = parseHistoryStamp(*asOf);
    if (!point.before) return fail("čas " + *asOf + " nemá tvar \"rrrr-mm-dd hh.mm.ss\"");
  }
  const auto found = pairOf(fs, path);
  if (!found) return 2;
  PairBackup backup(fs, found->pair.source, found->pair.target);
  RestoreJob job;
  job.entries = backup.stateAt(point, found->relative);
  job.unreadable = backup.unreadable();
  if (job.entries.empty()) {
    return fail(path + " v záloze " + (asOf ? "k " + *asOf + " " : std::string()) + "není");
  }
  job.relative = found->relative;
  const std::string original = withoutTrailingSeparators(fs.resolve(path));
  job.name = found->relative.empty() ? lastComponent(found->pair.source) : splitPath(original).name;
  SystemClock clock;
  const LocalDateTime now = clock.now();
  if (to) {
    job.destination = *to;
  } else {
    // A new folder beside the original: nothing the user has is touched.
    job.destination = joinPath(splitPath(original).folder,
                               restoredFolderName(job.name, point.before.value_or(now)));
    if (const Status made = fs.makeFolder(job.destination); !made.ok() && made.error != EEXIST) {
      return fail("nelze vytvořit " + job.destination + ": " + systemReason(made.error));
    }
  }
  if (!fs.openFolder(job.destination).ok())
    return fail(job.destination + " není přístupný adresář");
  const RestoreReport report = restore(fs, backup, job, RestoreMode::NeverReplace, now,
                                       [&](int, int) { return !host.stopRequested(); });
  for (const std::string& kept : report.kept) std::cout << "Ponecháno, už tam je: " << kept << "\n";
  for (const std::string& failed : report.failed) std::cout << "Nelze obnovit " << failed << "\n";
  std::cout << "Obnoveno do " << joinPath(job.destination, job.name) << ": " << report.restored
            << " položek, beze změny " << report.unchanged << ", ponecháno " << report.kept.size()
            << ", chyb " << report.failed.size() << "."
            << (report.stopped ? " Obnova přerušena." : "") << std::endl;
  return report.failed.empty() && !report.stopped ? 0 : 1;
}

}  // namespace tavro
