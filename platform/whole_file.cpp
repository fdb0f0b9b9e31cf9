#include "platform/whole_file.h"

#include <cerrno>

namespace tavro {

Result<std::string> readWholeFile(FileSystem& fs, const std::string& path) {
  const auto [folderPath, name] = splitPath(path);
  auto folder = fs.openFolder(folderPath);
  if (!folder.ok()) return Result<std::string>::failure(folder.error);
  auto file = folder.value->openFile(name);
  if (!file.ok()) return Result<std::string>::failure(file.error);
  std::string contents;
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
  const auto [folderPath, name] = splitPath(path);
  if (name.empty()) return Status::failure(EISDIR);
  makeFolderChain(fs, folderPath);
  auto folder = fs.openFolder(folderPath);
  if (!folder.ok()) return Status::failure(folder.error);
  Folder& dir = *folder.value;

  mode_t mode = 0644;
  if (const auto old = dir.stat(name); old.ok()) mode = old.value.mode;

  const std::string temporary = "." + name + ".tavro-new";
  (void)dir.removeFile(temporary);  // left by an earlier crash
  auto created = dir.createFile(temporary);
  if (!created.ok()) return Status::failure(created.error);
  OutputFile& out = *created.value;

  auto fail = [&](int error) {
    (void)out.close();
    (void)dir.removeFile(temporary);
    return Status::failure(error);
  };
  std::size_t done = 0;
  while (done < contents.size()) {
    const auto put = out.write(contents.data() + done, contents.size() - done);
    if (!put.ok()) return fail(put.error);
    if (put.value == 0) return fail(EIO);
    done += put.value;
  }
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
