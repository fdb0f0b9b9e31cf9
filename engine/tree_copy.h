#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_copy.h"
#include "engine/pass_options.h"
#include "engine/run_display.h"
#include "engine/target_folder.h"
#include "platform/file_system.h"

namespace tavro {

// Brings the target tree up to date with the source tree: every file of the
// source that is missing in the target, or whose size or time differs from
// its copy's (at the precision the options give: by default the two-second
// steps of local MS-DOS time), is copied with the source's time; missing folders are created.
// Nothing is deleted but an outdated copy, and that only by putting the new copy in its place.
//
// A single entry that cannot be copied becomes a line of the display and the
// walk goes on; a source sub-folder that cannot be opened or listed becomes a
// line and is passed over, as is one too deep to walk. Symbolic links are
// copied as links, special files are passed over, and the target folder
// itself is never walked when it lies inside the source.
//
// Given paths, a source that cannot be opened is passed over without a line
// and the target is created with every missing folder above it as files need
// it.
void copyTree(FileSystem& fs, RunDisplay& display, const std::string& source,
              const std::string& target, const PassOptions& options = {});
// The same on folders already open: the target is created (one level, below
// its existing parent) only when a copy needs it. The options can stop the
// walk at its next entry (the file being copied is abandoned), make it only
// plan (nothing is written; each copy it would make is added to the plan),
// or keep each outdated copy it replaces in the history.
void copyTree(RunDisplay& display, Folder& source, TargetFolder& target,
              const PassOptions& options = {});

}  // namespace tavro
