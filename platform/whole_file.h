#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tavro {

// Reads the whole regular file at `path`. Fails with the errno value of the
// step that failed (ENOENT when there is no such file).
Result<std::string> readWholeFile(FileSystem& fs, const std::string& path);

// Replaces the file at `path` with `contents`, creating missing folders. The
// text is written to a temporary file beside it, put on the disk, and only
// then renamed over the old file, so a crash or a full disk leaves either the
// old file or the new one, never half of one. On failure the temporary file
// is removed and the old file is as it was. A new file keeps the old one's
// permissions.
Status replaceWholeFile(FileSystem& fs, const std::string& path, std::string_view contents);

}  // namespace tavro
