#include "platform/file_system.h"

#include <cerrno>
#include <cstring>

namespace tavro {

std::string Folder::pathOf(std::string_view name) const {
  std::string full;
  full.reserve(path_.size() + 1 + name.size());
  full.append(path_).append("/").append(name);
  return full;
}

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
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

void makeFolderChain(FileSystem& fs, const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty() || folderExists(fs, folder)) return;
  const auto slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0) makeFolderChain(fs, folder.substr(0, slash));
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
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
         inner[outer.size()] == '/';
}

}  // namespace tavro
