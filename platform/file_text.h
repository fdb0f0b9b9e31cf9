#pragma once

#include <string>
#include <string_view>

namespace tavro {

// The encoding of the program's own text files (the pair table, the
// settings, the log) on this system. The program keeps text as UTF-8. On
// Windows the files are written as Windows programs write them, in the
// system's ANSI code page (Windows-1250 on a Czech system), unless a
// character does not fit; elsewhere UTF-8 as it is.

// A file's text, and whether it began with a UTF-8 byte-order mark.
struct FileText {
  std::string text;  // UTF-8, without the mark
  bool byteOrderMark = false;
};

// The text of a file's bytes: a UTF-8 byte-order mark says UTF-8, anything
// else is the system's own encoding.
FileText textOfFile(std::string_view bytes);

// The bytes of a file that holds `text`, written back as it was read: with
// the byte-order mark it had. Never a character replaced: a path with a
// character the ANSI code page lacks would name another folder, so such a
// file is written in UTF-8 with a byte-order mark.
std::string bytesOfFile(std::string_view text, bool byteOrderMark);

// The bytes that add `text` to a file beginning with `start` (its first
// three bytes; empty for a new file). A file keeps its encoding, and a new
// one is UTF-8 with a byte-order mark; a character that an ANSI file cannot
// hold becomes "?", which is fine for a file that is only read.
std::string bytesToAppend(std::string_view text, std::string_view start);

// Whether bytesToAppend needs the start of the file at all.
bool appendingNeedsStart();

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace tavro
