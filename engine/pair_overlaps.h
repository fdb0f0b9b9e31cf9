#pragma once

#include "pairs/pair_table.h"
#include "platform/file_system.h"

namespace tavro {

// Whether the pair folders of two pairs are one folder or one lies inside
// the other (real paths), so that a deletion pass of one reaches the other's
// backup.
bool pairFoldersCollide(FileSystem& fs, const BackupPair& a, const BackupPair& b);
// Whether a pair's folder and its own source overlap (one holds the other).
bool pairOverlapsItsSource(FileSystem& fs, const BackupPair& pair);
// Whether `other`'s source lies in `holder`'s pair folder (real paths), so
// that the deletion pass of `holder` has to pass it over.
bool pairFolderHoldsSource(FileSystem& fs, const BackupPair& holder, const BackupPair& other);

}  // namespace tavro
