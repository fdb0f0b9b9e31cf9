#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

enum class CopyOutcome {
  Copied,
  Failed,         // nothing changed under the target name
  ReplaceFailed,  // the new copy was complete but could not take the old one's place
  Stopped,        // abandoned on a stop request: what it wrote is gone, the old copy kept
  // Copied whole, but the target refused the source's extended attributes
  // or access control lists although it can hold them.
  CopiedWithoutAttributes,
};

// How the copy meets the name it is to take in the target folder.
enum class CopyMode {
  New,      // the name is free: the file is written under it directly
  Replace,  // an outdated copy holds it: write aside, then rename over it
};

// Copies the regular file `name` of `source` to `targetName` in `target`,
// driving the display's per-file gauge, and gives the copy the source's
// last-write time and permissions (always writable by its owner). The time is
// set only once the contents are complete, so a copy that broke off never
// looks current. A failed copy removes what it wrote. Between chunks the
// window gets to handle its input, where the user may ask to stop. With a
// history, a replaced copy is kept there before the new one takes its name.
CopyOutcome copyFileWithProgress(Folder& source, const std::string& name, TargetFolder& target,
                                 const std::string& targetName, CopyMode mode, RunDisplay& gauge,
                                 const PassOptions& options = {});

// A position of the per-file gauge for `bytes` of a file of `size` bytes. The
// gauge holds signed 32-bit counts, so a file of 2 GiB or more is shown on a
// range scaled down by a power of two.
int gaugeUnits(std::int64_t bytes, std::int64_t size);

// How finely `folder` keeps last-write times, found by giving a file there
// a time and reading it back (the file is gone afterwards). The two-second
// steps when that cannot be done, or the answer would not be the truth.
TimePrecision probeTimePrecision(Folder& folder);

// The name a copy is written under before it is renamed into place.
std::string temporaryNameFor(const std::string& name, int attempt);
// Whether `name` is one that temporaryNameFor gives: in the target, such a
// name that the source lacks is what an interrupted copy left, never a
// version of anything.
bool isTemporaryName(std::string_view name);

}  // namespace tavro
