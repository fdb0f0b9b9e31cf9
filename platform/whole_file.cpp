#include "platform/whole_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <random>
#include <vector>

namespace tavro {

namespace {

// As many links as the system follows in one path.
constexpr int kMaxLinks = 40;

// The path a file is really at: a link the user put in its place (as dotfile
// managers do) is followed to where it leads, as often as it takes.
std::string followLinks(FileSystem& fs, const std::string& path) {
  std::string current = path;
  for (int followed = 0; followed < kMaxLinks; ++followed) {
    const auto [folderPath, name] = splitPath(current);
    auto folder = fs.openFolder(folderPath);
    if (!folder.ok()) break;
    const auto info = folder.value->stat(name);
    if (!info.ok() || info.value.kind != EntryKind::Link) break;
    const auto text = folder.value->readLink(name);
    if (!text.ok() || text.value.empty()) break;
    current = text.value.front() == '/' ? text.value : folderPath + "/" + text.value;
  }
  return current;
}

std::string temporaryPrefix(const std::string& name) { return "." + name + ".tavro-new."; }

// A new file beside `name` under a name no other writer uses: two programs
// writing the same file at once each get their own.
Result<std::unique_ptr<OutputFile>> createTemporary(Folder& dir, const std::string& name,
                                                    std::string& temporary) {
  static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())
                                                             << 32};
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  Result<std::unique_ptr<OutputFile>> created =
      Result<std::unique_ptr<OutputFile>>::failure(EEXIST);
  for (int attempt = 0; attempt < 16 && created.error == EEXIST; ++attempt) {
    temporary = temporaryPrefix(name);
    for (int i = 0; i < 8; ++i) temporary += kLetters[random() % (sizeof kLetters - 1)];
    created = dir.createFile(temporary);
  }
  return created;
}

// Temporary files an earlier crash left: only old ones, as a fresh one may
// belong to a writer still at work.
void removeLeftovers(Folder& dir, const std::string& name) {
  constexpr std::time_t kOld = 10 * 60;
  const std::string prefix = temporaryPrefix(name);
  auto listing = dir.list();
  if (!listing.ok()) return;
  const std::time_t now = std::time(nullptr);
  ListedEntry entry;
  int error = 0;
  std::vector<std::string> leftovers;
  while (listing.value->next(entry, &error)) {
    if (entry.name.rfind(prefix, 0) == 0) leftovers.push_back(entry.name);
  }
  for (const auto& leftover : leftovers) {
    const auto info = dir.stat(leftover);
    if (info.ok() && info.value.kind == EntryKind::File &&
        now - info.value.modified.tv_sec > kOld) {
      (void)dir.removeFile(leftover);
    }
  }
}

// Writes over the file itself: only where no file can be made beside it.
Status rewriteInPlace(OutputFile& out, std::string_view contents) {
  Status done = writeAll(out, contents);
  if (done.ok()) done = out.resize(static_cast<std::int64_t>(contents.size()));
  if (done.ok()) done = out.sync();
  const Status closed = out.close();
  return done.ok() ? closed : done;
}

}  // namespace

Result<std::string> readWholeFile(FileSystem& fs, const std::string& path) {
  const auto [folderPath, name] = splitPath(followLinks(fs, path));
  auto folder = fs.openFolder(folderPath);
  if (!folder.ok()) return Result<std::string>::failure(folder.error);
  auto file = folder.value->openFile(name);
  if (!file.ok()) return Result<std::string>::failure(file.error);
  std::string contents;
  // One allocation of the right size: a large file must not cost twice its
  // size while it is read.
  if (const auto info = file.value->info(); info.ok() && info.value.size > 0) {
    contents.reserve(static_cast<std::size_t>(info.value.size));
  }
  char buffer[16384];
  for (;;) {
    const auto got = file.value->read(buffer, sizeof buffer);
    if (!got.ok()) return Result<std::string>::failure(got.error);
    if (got.value == 0) break;
    contents.append(buffer, got.value);
  }
  return Result<std::string>::of(std::move(contents));
}

Status replaceWholeFile(FileSystem& fs, const std::string& path, std::string_view contents) {
  const auto [folderPath, name] = splitPath(followLinks(fs, path));
  if (name.empty()) return Status::failure(EISDIR);
  makeFolderChain(fs, folderPath);
  auto folder = fs.openFolder(folderPath);
  if (!folder.ok()) return Status::failure(folder.error);
  Folder& dir = *folder.value;

  FileMode mode = 0644;
  std::unique_ptr<OutputFile> existing;
  if (const auto old = dir.stat(name); old.ok()) {
    mode = old.value.mode;
    // The file's own permission decides, as for any other program: renaming
    // a new file over a read-only one would get round it.
    auto writable = dir.openToRewrite(name);
    if (!writable.ok()) return Status::failure(writable.error);
    existing = std::move(writable.value);
  }

  removeLeftovers(dir, name);
  std::string temporary;
  auto created = createTemporary(dir, name, temporary);
  if (!created.ok()) {
    // A folder the user may not write can still hold a file they may.
    const bool folderRefused = created.error == EACCES || created.error == EPERM;
    if (existing && folderRefused) return rewriteInPlace(*existing, contents);
    return Status::failure(created.error);
  }
  if (existing) (void)existing->close();
  OutputFile& out = *created.value;

  auto fail = [&](int error) {
    (void)out.close();
    (void)dir.removeFile(temporary);
    return Status::failure(error);
  };
  if (Status s = writeAll(out, contents); !s.ok()) return fail(s.error);
  if (Status s = out.setMode(mode); !s.ok()) return fail(s.error);
  if (Status s = out.sync(); !s.ok()) return fail(s.error);
  if (Status s = out.close(); !s.ok()) {
    (void)dir.removeFile(temporary);
    return s;
  }
  if (Status s = dir.rename(temporary, name); !s.ok()) {
    (void)dir.removeFile(temporary);
    return s;
  }
  return Status::success();
}

}  // namespace tavro
