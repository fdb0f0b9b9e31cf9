#include "platform/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavro {

std::string Folder::pathOf(std::string_view name) const { return joinPath(path_, name); }

std::string joinPath(std::string_view folder, std::string_view name) {
  char separator = preferredSeparator();
  for (auto c = folder.rbegin(); c != folder.rend(); ++c) {
    if (isPathSeparator(*c)) {
      separator = *c;
      break;
    }
  }
  std::string full;
  full.reserve(folder.size() + 1 + name.size());
  full.append(folder).append(1, separator).append(name);
  return full;
}

std::string withoutTrailingSeparators(std::string path) {
  const std::size_t keep = std::max<std::size_t>(1, rootLengthOf(path));
  while (path.size() > keep && isPathSeparator(path.back())) path.pop_back();
  return path;
}

namespace {
std::size_t lastSeparator(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (isPathSeparator(path[i - 1])) return i - 1;
  }
  return std::string::npos;
}
}  // namespace

Status writeAll(OutputFile& file, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const auto put = file.write(data.data() + done, data.size() - done);
    if (!put.ok()) return Status::failure(put.error);
    if (put.value == 0) return Status::failure(EIO);
    done += put.value;
  }
  return Status::success();
}

Status OutputFile::publish() { return Status::failure(EINVAL); }

Result<std::size_t> OutputFile::copyFrom(InputFile& source, std::size_t limit) {
  constexpr std::size_t kBufferSize = 128 * 1024;
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
  const auto got = source.read(buffer_.get(), std::min(limit, kBufferSize));
  if (!got.ok() || got.value == 0) return got;
  if (Status put = writeAll(*this, std::string_view(buffer_.get(), got.value)); !put.ok()) {
    return Result<std::size_t>::failure(put.error);
  }
  return got;
}

PathParts splitPath(const std::string& path) {
  const auto slash = lastSeparator(path);
  if (slash == std::string::npos) return {".", path};
  const std::size_t root = rootLengthOf(path);
  return {path.substr(0, std::max(slash, root)), path.substr(slash + 1)};
}

void makeFolderChain(FileSystem& fs, const std::string& path) {
  const std::string folder = withoutTrailingSeparators(path);
  if (folder.empty() || folderExists(fs, folder)) return;
  const auto slash = lastSeparator(folder);
  if (slash != std::string::npos && slash > 0 && slash >= rootLengthOf(folder)) {
    makeFolderChain(fs, folder.substr(0, slash));
  }
  (void)fs.makeFolder(folder);
}

std::optional<EntryKind> kindOf(Folder& folder, const ListedEntry& entry) {
  if (entry.kind != EntryKind::Unknown) return entry.kind;
  const auto info = folder.stat(entry.name);
  if (!info.ok()) return std::nullopt;
  return info.value.kind;
}

bool folderExists(FileSystem& fs, const std::string& path) {
  const auto info = fs.stat(path);
  return info.ok() && info.value.kind == EntryKind::Folder;
}

bool isSameOrInside(const std::string& inner, const std::string& outer) {
  if (inner.empty() || outer.empty()) return false;
  if (inner == outer || outer == "/") return true;
  if (!inner.starts_with(outer)) return false;
  // Below a root ("C:\") the separator is its last character.
  return inner.size() > outer.size() &&
         (isPathSeparator(inner[outer.size()]) || outer.size() == rootLengthOf(outer));
}

}  // namespace tavro
