#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/pass_options.h"
#include "engine/run_display.h"
#include "engine/target_folder.h"
#include "platform/file_system.h"

namespace tavro {

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

// Copies the symbolic link `name` of `source` as a link with the same text,
// owner (where the options keep owners) and time; a replaced one goes into
// the history first.
CopyOutcome copyLink(Folder& source, const std::string& name, const EntryInfo& info,
                     TargetFolder& target, const std::string& targetName, CopyMode mode,
                     const PassOptions& options);

// A position of the per-file gauge for `bytes` of a file of `size` bytes. The
// gauge holds signed 32-bit counts, so a file of 2 GiB or more is shown on a
// range scaled down by a power of two.
int gaugeUnits(std::int64_t bytes, std::int64_t size);

// How finely `folder` keeps last-write times, found by giving a file there
// a time and reading it back (the file is gone afterwards). The two-second
// steps when that cannot be done, or the answer would not be the truth.
// Where files can have no name, the probe is one of those in `folder`;
// elsewhere (Windows) a named file in `namedProbeFolder`, a folder on the
// same drive whose time no run keeps: every new name in `folder` itself
// would move its time, which the run then sets back at every run, and
// where setting times fails, reports as a failure.
TimePrecision probeTimePrecision(Folder& folder, Folder& namedProbeFolder);

// The name a copy is written under before it is renamed into place.
std::string temporaryNameFor(const std::string& name, int attempt);
// Whether `name` is one that temporaryNameFor gives: in the target, such a
// name that the source lacks is what an interrupted copy left, never a
// version of anything.
bool isTemporaryName(std::string_view name);

}  // namespace tavro
