#include "engine/pair_overlaps.h"

#include "engine/pair_mirror.h"

namespace tavro {

bool pairFoldersCollide(FileSystem& fs, const BackupPair& a, const BackupPair& b) {
  if (a.source.empty() || a.target.empty() || b.source.empty() || b.target.empty()) return false;
  const std::string first = fs.resolve(pairFolderOf(a.source, a.target));
  const std::string second = fs.resolve(pairFolderOf(b.source, b.target));
  return isSameOrInside(first, second) || isSameOrInside(second, first);
}

bool pairOverlapsItsSource(FileSystem& fs, const BackupPair& pair) {
  if (pair.source.empty() || pair.target.empty()) return false;
  const std::string folder = fs.resolve(pairFolderOf(pair.source, pair.target));
  const std::string source = fs.resolve(pair.source);
  return isSameOrInside(folder, source) || isSameOrInside(source, folder);
}

bool pairFolderHoldsSource(FileSystem& fs, const BackupPair& holder, const BackupPair& other) {
  if (holder.source.empty() || holder.target.empty() || other.source.empty()) return false;
  return isSameOrInside(fs.resolve(other.source),
                        fs.resolve(pairFolderOf(holder.source, holder.target)));
}

}  // namespace tavro
