#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace tavro {

// A settings file of "[section]" headers and "key=value" lines. Section and
// key names match without regard to case. The file is read anew for every
// read, so a change made by hand is seen at the next one.
class ProfileFile {
 public:
  ProfileFile(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // The text after the first "=" of the first line for `key` in `section`,
  // blanks around it removed, at most 2047 characters; `fallback` only when
  // the file, the section or the key is missing (an empty value is empty).
  std::string read(const std::string& section, const std::string& key,
                   const std::string& fallback) const;

  using KeyValue = std::pair<std::string, std::string>;

  // Replaces each key's value in place, leaving every other line as it was;
  // a missing key goes at the end of its section, a missing section at the
  // end of the file, and a missing file is created. All keys go in one
  // replacement of the whole file, so either all are written or none; it is
  // on the disk when this returns. A file that holds these values already is
  // not touched.
  Status write(const std::string& section, const std::vector<KeyValue>& values);
  Status write(const std::string& section, const std::string& key, const std::string& value);

 private:
  FileSystem& fs_;
  std::string path_;
};

}  // namespace tavro
