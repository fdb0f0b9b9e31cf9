#pragma once

#include <span>
#include <string>

#include "engine/pass_options.h"
#include "engine/run_display.h"
#include "platform/file_system.h"

namespace tavro {

// Makes the target tree mirror the deletions of the source tree: removes
// every target file whose name is no file in the source, and every target
// folder whose name is no folder in the source once it is empty. A file that
// cannot be deleted becomes a line of the display; a folder that cannot be
// removed stays without one.
//
// Only an answer of "no such entry" from the source counts as a deletion:
// nothing is deleted when the source folder itself is missing or unreadable,
// nor in any target folder whose source folder exists but cannot be listed,
// nor below the depth the copy pass walks. Links in the target are removed as
// links and never walked through, and the source folder is never touched even
// when it lies inside the target. Where the target's file system ignores
// letter case, a copy whose name differs from its source's only that way is
// renamed to the source's name instead of deleted.
void deleteVanished(FileSystem& fs, RunDisplay& display, const std::string& source,
                    const std::string& target);

// The same on folders already open. Folders of `otherSources` (pairs'
// sources, sorted) are never entered or removed: each one met other than
// `source` itself, the target included, is passed over with a line. A folder
// named as the history folder is mirrored like any other: the history lies
// beside the pair folders, never inside one. The options can stop the pass
// at its next entry, make it only plan (nothing changes, each entry it would
// remove is added to the plan with the pair folder's count of files), or
// move what it would remove into the history: a whole missing folder in one
// move, file by file where it holds a pair's source. An entry that cannot be
// moved stays, with the line of a failed deletion. A file under a temporary
// name of the copy pass that the source lacks is what an interrupted copy
// left: it is removed, never kept in the history, and planned as a leftover,
// no deletion.
void deleteVanished(RunDisplay& display, Folder& source, Folder& target,
                    std::span<const FolderId> otherSources, const PassOptions& options = {});

// Removes the entry `name` of `target` where the source holds that name as
// another kind (a folder where it has a file, or the reverse), the way the
// deletion pass removes what the source lacks: into the history when the
// options keep one, with the same lines, and never a folder of
// `options.otherSources` or of `sourceTop`. True when the name is free
// afterwards, so that the copy pass can put the source's entry there.
bool removeOtherKind(RunDisplay& display, Folder& target, const std::string& name,
                     FolderId sourceTop, const PassOptions& options);

}  // namespace tavro
