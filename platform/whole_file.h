#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tavro {

// Both functions follow a symbolic link at `path` (and a chain of them) to
// the file it leads to, as the user who put the link there expects; the link
// itself stays as it is.

// Reads the whole regular file at `path`. Fails with the errno value of the
// step that failed (ENOENT when there is no such file).
Result<std::string> readWholeFile(FileSystem& fs, const std::string& path);

// Replaces the file at `path` with `contents`, creating missing folders. The
// text is written to a temporary file beside it (a name of its own, never a
// fixed one), put on the disk, and only then renamed over the old file, so a crash or a full disk leaves either the
// old file or the new one, never half of one. On failure the temporary file
// is removed and the old file is as it was. A new file keeps the old one's
// permissions. A file that may not be written (read-only, say) fails with
// the system's reason and stays as it is; a writable file in a folder that
// may not be written is written over in place.
Status replaceWholeFile(FileSystem& fs, const std::string& path, std::string_view contents);

}  // namespace tavro
