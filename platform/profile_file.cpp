#include "platform/profile_file.h"

#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/file_text.h"
#include "platform/text.h"
#include "platform/utf8.h"
#include "platform/whole_file.h"

namespace tavro {

namespace {

constexpr std::size_t kMaxValueChars = 2047;

struct Line {
  std::string_view text;  // without its line break
  std::size_t begin = 0;  // byte offsets of the whole line, break included
  std::size_t end = 0;
};

// A byte-order mark some editors put first is no part of the text here:
// reading takes it off, and writing puts it back (file_text.h).
std::vector<Line> linesOf(std::string_view contents) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < contents.size()) {
    std::size_t stop = contents.find('\n', pos);
    const std::size_t next = stop == std::string_view::npos ? contents.size() : stop + 1;
    if (stop == std::string_view::npos) stop = contents.size();
    std::string_view text = contents.substr(pos, stop - pos);
    while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back({text, pos, next});
    pos = next;
  }
  return lines;
}

// The section a line opens, if it is a "[name]" line.
std::optional<std::string_view> sectionOf(std::string_view line) {
  line = trimBlanks(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trimBlanks(line.substr(1, close - 1));
}

// The key of a "key=value" line.
std::optional<std::string_view> keyOf(std::string_view line) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return trimBlanks(line.substr(0, equals));
}

// `contents` with the key set: its value replaced in place (the line's own
// break, if any, stays after the new text), or the key appended at the end
// of its section, or the section appended at the end.
std::string withValue(const std::string& contents, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::string_view newline = contents.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  // A line break in a value would start a line of its own.
  std::string entry = std::string(key) + "=";
  for (char c : value) {
    if (c != '\r' && c != '\n') entry += c;
  }

  std::optional<std::size_t> sectionEnd;  // where a new key of the section goes
  bool inSection = false;
  for (const Line& line : linesOf(contents)) {
    if (const auto name = sectionOf(line.text)) {
      inSection = equalsIgnoringCase(*name, section);
      if (inSection) sectionEnd = line.end;
      continue;
    }
    if (!inSection) continue;
    if (const auto name = keyOf(line.text); name && equalsIgnoringCase(*name, key)) {
      return contents.substr(0, line.begin) + entry +
             contents.substr(line.begin + line.text.size());
    }
    if (!trimBlanks(line.text).empty()) sectionEnd = line.end;
  }

  if (sectionEnd) {
    std::string before = contents.substr(0, *sectionEnd);
    if (!before.empty() && before.back() != '\n') before += newline;
    return before + entry + std::string(newline) + contents.substr(*sectionEnd);
  }
  std::string updated = contents;
  if (!updated.empty() && updated.back() != '\n') updated += newline;
  return updated + "[" + std::string(section) + "]" + std::string(newline) + entry +
         std::string(newline);
}

}  // namespace

std::string ProfileFile::read(const std::string& section, const std::string& key,
                              const std::string& fallback) const {
  const auto contents = readWholeFile(fs_, path_);
  if (!contents.ok()) return fallback;
  bool inSection = false;
  const std::string text = textOfFile(contents.value).text;
  for (const Line& line : linesOf(text)) {
    if (const auto name = sectionOf(line.text)) {
      inSection = equalsIgnoringCase(*name, section);
      continue;
    }
    if (!inSection) continue;
    const auto name = keyOf(line.text);
    if (!name || !equalsIgnoringCase(*name, key)) continue;
    const std::string_view value = trimBlanks(line.text.substr(line.text.find('=') + 1));
    return std::string(utf8Prefix(value, kMaxValueChars));
  }
  return fallback;
}

Status ProfileFile::write(const std::string& section, const std::string& key,
                          const std::string& value) {
  return write(section, {{key, value}});
}

Status ProfileFile::write(const std::string& section, const std::vector<KeyValue>& values) {
  const auto contents = readWholeFile(fs_, path_);
  if (!contents.ok() && contents.error != ENOENT) return Status::failure(contents.error);
  const FileText read = contents.ok() ? textOfFile(contents.value) : FileText{};
  const std::string& old = read.text;
  std::string updated = old;
  for (const auto& [key, value] : values) updated = withValue(updated, section, key, value);
  // A file that already says it all is left alone: no replacement, no flush.
  if (contents.ok() && updated == old) return Status::success();
  return replaceWholeFile(fs_, path_, bytesOfFile(updated, read.byteOrderMark));
}

}  // namespace tavro
