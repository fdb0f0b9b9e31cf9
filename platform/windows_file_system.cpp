// The file system of Windows. Below a folder the user named, everything is
// opened relative to an open folder handle, one name at a time (NtCreateFile
// with a root directory, the counterpart of openat), and always with
// FILE_OPEN_REPARSE_POINT: a symbolic link, a junction or a mount point is
// the entry itself, never what it leads to.
#include "platform/file_system.h"

#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows_errors.h"
#include "platform/windows_text.h"

namespace tavro {

using windows::errorOfStatus;
using windows::lastError;
using windows::narrow;
using windows::wide;

bool isPathSeparator(char c) { return c == '/' || c == '\\'; }
char preferredSeparator() { return '\\'; }

std::size_t rootLengthOf(std::string_view path) {
  auto sep = [&](std::size_t i) { return i < path.size() && isPathSeparator(path[i]); };
  if (path.size() >= 2 && path[1] == ':') return sep(2) ? 3 : 2;  // C:\ or C:
  if (sep(0) && sep(1)) {
    // \\server\share\ and \\?\C:\ alike: two names after the two separators.
    std::size_t i = 2;
    for (int names = 0; names < 2 && i < path.size(); ++names) {
      while (i < path.size() && !sep(i)) ++i;
      if (sep(i)) ++i;
    }
    return i;
  }
  return sep(0) ? 1 : 0;
}

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::int64_t kTicksPerSecond = 10'000'000;
// From 1601-01-01, where Windows counts time, to 1970-01-01.
constexpr std::int64_t kEpochTicks = 116'444'736'000'000'000LL;

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = std::exchange(other.h_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  void reset() {
    if (valid()) ::CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

timespec timeOf(FILETIME time) {
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  const std::int64_t since = ticks - kEpochTicks;
  std::int64_t seconds = since / kTicksPerSecond;
  std::int64_t rest = since % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  return timespec{static_cast<std::time_t>(seconds), static_cast<long>(rest * 100)};
}

LARGE_INTEGER ticksOf(timespec t) {
  LARGE_INTEGER ticks;
  ticks.QuadPart =
      static_cast<std::int64_t>(t.tv_sec) * kTicksPerSecond + t.tv_nsec / 100 + kEpochTicks;
  return ticks;
}

// A name of one entry: a separator in it would reach past the folder.
bool isPlainName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/") == std::wstring::npos;
}

struct Opened {
  Handle handle;
  int error = 0;
};

// Opens `name` in the folder `root`, never following a reparse point.
Opened openRelative(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG disposition,
                    ULONG options) {
  if (!name.empty() && !isPlainName(name)) return {Handle(), EINVAL};
  if (name.size() * sizeof(wchar_t) > 0xFFFE) return {Handle(), ENAMETOOLONG};
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name.c_str());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE h = INVALID_HANDLE_VALUE;
  const NTSTATUS status = ::NtCreateFile(
      &h, access | SYNCHRONIZE, &object, &io, nullptr, FILE_ATTRIBUTE_NORMAL, kShareAll,
      disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (status < 0) return {Handle(), errorOfStatus(status)};
  return {Handle(h), 0};
}

struct HandleFacts {
  DWORD attributes = 0;
  DWORD reparseTag = 0;
  BY_HANDLE_FILE_INFORMATION about{};
};

// The reparse tag is asked for only where there is one.
Result<HandleFacts> factsOf(HANDLE h) {
  HandleFacts facts;
  if (!::GetFileInformationByHandle(h, &facts.about)) {
    return Result<HandleFacts>::failure(lastError());
  }
  facts.attributes = facts.about.dwFileAttributes;
  if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
      return Result<HandleFacts>::failure(lastError());
    }
    facts.reparseTag = tag.ReparseTag;
  }
  return Result<HandleFacts>::of(facts);
}

// Symbolic links, junctions and mount points name another place; other
// reparse points (deduplicated or cloud files) are the file's own data.
bool namesAnotherPlace(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag);
}

EntryKind kindOf(DWORD attributes, DWORD tag) {
  if (namesAnotherPlace(attributes, tag)) return EntryKind::Link;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::Special;
  return EntryKind::File;
}

// Windows has no permission bits; the read-only attribute stands for the
// owner's write permission, as copies carry it.
FileMode modeOf(DWORD attributes) {
  const FileMode base = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0755 : 0644;
  return (attributes & FILE_ATTRIBUTE_READONLY) ? (base & ~FileMode{0222}) : base;
}

EntryInfo infoOfFacts(const HandleFacts& facts) {
  EntryInfo info;
  info.kind = kindOf(facts.attributes, facts.reparseTag);
  info.size =
      (static_cast<std::int64_t>(facts.about.nFileSizeHigh) << 32) | facts.about.nFileSizeLow;
  if (info.kind != EntryKind::File) info.size = 0;
  info.modified = timeOf(facts.about.ftLastWriteTime);
  info.mode = modeOf(facts.attributes);
  info.inode =
      (static_cast<FileIndex>(facts.about.nFileIndexHigh) << 32) | facts.about.nFileIndexLow;
  return info;
}

Result<EntryInfo> infoOfHandle(HANDLE h) {
  const auto facts = factsOf(h);
  if (!facts.ok()) return Result<EntryInfo>::failure(facts.error);
  return Result<EntryInfo>::of(infoOfFacts(facts.value));
}

// Sets the attributes a program may set (not "folder"), the times as they are.
Status setAttributes(HANDLE h, DWORD attributes) {
  attributes &= ~DWORD{FILE_ATTRIBUTE_DIRECTORY};
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic)
             ? Status::success()
             : Status::failure(lastError());
}

Status setModeOf(HANDLE h, FileMode mode) {
  const auto facts = factsOf(h);
  if (!facts.ok()) return Status::failure(facts.error);
  DWORD attributes = facts.value.attributes;
  if (mode & 0200) {
    attributes &= ~DWORD{FILE_ATTRIBUTE_READONLY};
  } else {
    attributes |= FILE_ATTRIBUTE_READONLY;
  }
  if (attributes == facts.value.attributes) return Status::success();
  return setAttributes(h, attributes);
}

Status setModifiedOf(HANDLE h, timespec modified) {
  FILE_BASIC_INFO basic{};  // zeros leave the other times and attributes as they are
  basic.LastWriteTime = ticksOf(modified);
  return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic)
             ? Status::success()
             : Status::failure(lastError());
}

// The whole path the system gives an open handle, "\\?\" and all.
std::wstring finalPathOf(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n + 1);
  }
}

// The path of an open handle from its volume's root ("\\Data\\a.txt"). Unlike
// the final path, wine gives it beyond 260 characters too.
std::wstring pathOnVolumeOf(HANDLE h) {
  std::vector<std::byte> buffer(sizeof(FILE_NAME_INFO) + 4096 * sizeof(wchar_t));
  for (;;) {
    if (::GetFileInformationByHandleEx(h, FileNameInfo, buffer.data(),
                                       static_cast<DWORD>(buffer.size()))) {
      const auto* about = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
      return std::wstring(about->FileName, about->FileNameLength / sizeof(wchar_t));
    }
    if (::GetLastError() != ERROR_MORE_DATA || buffer.size() > 256 * 1024) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool sameName(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A path the system takes at any length: "\\?\C:\...", "\\?\UNC\server\...".
std::wstring systemPath(const std::string& path) {
  std::wstring text = wide(path);
  std::replace(text.begin(), text.end(), L'/', L'\\');
  if (text.starts_with(L"\\\\?\\")) return text;
  const DWORD n = ::GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
  if (n == 0) return text;
  std::wstring full(n, L'\0');
  const DWORD got = ::GetFullPathNameW(text.c_str(), n, full.data(), nullptr);
  full.resize(got);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// How much of a system path names its drive or share: "\\?\C:\",
// "\\?\UNC\server\share\".
std::size_t systemRootLength(const std::wstring& path) {
  std::size_t at = path.starts_with(L"\\\\?\\UNC\\") ? 8 : 4;
  const int names = at == 8 ? 2 : 1;
  for (int i = 0; i < names && at < path.size(); ++i) {
    while (at < path.size() && path[at] != L'\\') ++at;
    if (at < path.size()) ++at;
  }
  return at;
}

// The path as a user writes it: without the "\\?\" a system path carries.
std::string userPath(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return "\\\\" + narrow(path.substr(8));
  if (path.starts_with(L"\\\\?\\")) return narrow(path.substr(4));
  return narrow(path);
}

Status renameHandle(HANDLE entry, HANDLE destination, const std::wstring& to, bool replace,
                    FILE_INFORMATION_CLASS how) {
  if (!isPlainName(to)) return Status::failure(EINVAL);
  // FILE_RENAME_INFORMATION and FILE_LINK_INFORMATION have one layout.
  const std::size_t bytes = sizeof(FILE_RENAME_INFORMATION) + to.size() * sizeof(wchar_t);
  std::vector<std::byte> buffer(bytes);
  auto* about = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
  about->ReplaceIfExists = replace ? TRUE : FALSE;
  about->RootDirectory = destination;
  about->FileNameLength = static_cast<ULONG>(to.size() * sizeof(wchar_t));
  std::memcpy(about->FileName, to.data(), about->FileNameLength);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = ::NtSetInformationFile(entry, &io, about, static_cast<ULONG>(bytes), how);
  return status < 0 ? Status::failure(errorOfStatus(status)) : Status::success();
}

// The hidden and system marks of `from`, given to `to` beside its own
// attributes.
Status carryMarks(HANDLE from, HANDLE to) {
  constexpr DWORD kMarks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const auto source = factsOf(from);
  const auto target = factsOf(to);
  if (!source.ok() || !target.ok())
    return Status::failure(source.ok() ? target.error : source.error);
  const DWORD wanted = (target.value.attributes & ~kMarks) | (source.value.attributes & kMarks);
  if (wanted == target.value.attributes) return Status::success();
  return setAttributes(to, wanted);
}

class WindowsListing final : public Listing {
 public:
  explicit WindowsListing(HANDLE folder) : folder_(folder), buffer_(kBufferSize) {}

  bool next(ListedEntry& entry, int* error) override {
    for (;;) {
      if (at_ == nullptr) {
        const FILE_INFO_BY_HANDLE_CLASS what =
            first_ ? FileFullDirectoryRestartInfo : FileFullDirectoryInfo;
        first_ = false;
        if (!::GetFileInformationByHandleEx(folder_, what, buffer_.data(),
                                            static_cast<DWORD>(buffer_.size()))) {
          const DWORD why = ::GetLastError();
          if (why != ERROR_NO_MORE_FILES && error) *error = windows::errorOf(why);
          return false;
        }
        at_ = buffer_.data();
      }
      const auto* about = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at_);
      at_ = about->NextEntryOffset ? at_ + about->NextEntryOffset : nullptr;
      const std::wstring_view name(about->FileName, about->FileNameLength / sizeof(wchar_t));
      if (name == L"." || name == L"..") continue;
      entry.name = narrow(name);
      // EaSize holds the reparse tag of a reparse point.
      entry.kind = kindOf(about->FileAttributes, about->EaSize);
      return true;
    }
  }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;
  HANDLE folder_;
  std::vector<std::byte> buffer_;
  std::byte* at_ = nullptr;
  bool first_ = true;
};

class WindowsInputFile final : public InputFile {
 public:
  WindowsInputFile(Handle h, EntryInfo opened) : h_(std::move(h)), opened_(opened) {}

  Result<std::size_t> read(char* buffer, std::size_t size) override {
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(h_.get(), buffer, ask, &got, nullptr)) {
      return Result<std::size_t>::failure(lastError());
    }
    return Result<std::size_t>::of(got);
  }

  Result<EntryInfo> info() override { return Result<EntryInfo>::of(opened_); }
  HANDLE handle() const { return h_.get(); }

 private:
  Handle h_;
  EntryInfo opened_;
};

class WindowsOutputFile final : public OutputFile {
 public:
  // `flushOnClose`: a copy that is renamed into place must be on the disk
  // first, or a power cut could leave an empty file under the real name.
  WindowsOutputFile(Handle h, bool flushOnClose) : h_(std::move(h)), flushOnClose_(flushOnClose) {}

  Result<std::size_t> write(const char* data, std::size_t size) override {
    DWORD put = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::WriteFile(h_.get(), data, ask, &put, nullptr)) {
      return Result<std::size_t>::failure(lastError());
    }
    return Result<std::size_t>::of(put);
  }

  Status resize(std::int64_t size) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return ::SetFileInformationByHandle(h_.get(), FileEndOfFileInfo, &end, sizeof end)
               ? Status::success()
               : Status::failure(lastError());
  }

  Status setMode(FileMode mode) override { return setModeOf(h_.get(), mode); }
  Status setOwner(UserId, GroupId) override { return Status::success(); }
  Status setModified(timespec modified) override { return setModifiedOf(h_.get(), modified); }
  Result<EntryInfo> info() override { return infoOfHandle(h_.get()); }

  // Hidden and system files stay so in the copy; Windows keeps no other
  // attributes a copy could carry without the administrator's rights.
  Status copyAttributesFrom(InputFile& source) override {
    auto* windowsSource = dynamic_cast<WindowsInputFile*>(&source);
    return windowsSource == nullptr ? Status::success()
                                    : carryMarks(windowsSource->handle(), h_.get());
  }

  HANDLE handle() const { return h_.get(); }

  Status sync() override {
    return ::FlushFileBuffers(h_.get()) ? Status::success() : Status::failure(lastError());
  }

  Status close() override {
    if (!h_.valid()) return Status::success();
    Status flushed = flushOnClose_ ? sync() : Status::success();
    h_.reset();
    return flushed;
  }

 private:
  Handle h_;
  bool flushOnClose_;
};

class WindowsFolder final : public Folder {
 public:
  WindowsFolder(std::string path, Handle h) : Folder(std::move(path)), h_(std::move(h)) {}
  HANDLE handle() const { return h_.get(); }

  FolderId id() const override {
    if (!id_) {
      BY_HANDLE_FILE_INFORMATION about{};
      id_ =
          ::GetFileInformationByHandle(h_.get(), &about)
              ? FolderId{about.dwVolumeSerialNumber,
                         (static_cast<FileIndex>(about.nFileIndexHigh) << 32) | about.nFileIndexLow}
              : FolderId{};
    }
    return *id_;
  }

  Result<std::unique_ptr<Listing>> list() override {
    return Result<std::unique_ptr<Listing>>::of(std::make_unique<WindowsListing>(h_.get()));
  }

  Result<EntryInfo> stat(const std::string& name) override {
    Opened entry = openHere(name, FILE_READ_ATTRIBUTES, 0);
    if (entry.error == ELOOP) {
      EntryInfo link;  // of the link itself nothing more is known there
      link.kind = EntryKind::Link;
      return Result<EntryInfo>::of(link);
    }
    if (entry.error != 0) return Result<EntryInfo>::failure(entry.error);
    return infoOfHandle(entry.handle.get());
  }

  Result<std::unique_ptr<Folder>> openFolder(const std::string& name) override {
    using Made = Result<std::unique_ptr<Folder>>;
    Opened opened = openHere(name, kFolderAccess, FILE_DIRECTORY_FILE);
    if (opened.error != 0) return Made::failure(opened.error);
    const auto facts = factsOf(opened.handle.get());
    if (!facts.ok()) return Made::failure(facts.error);
    if (namesAnotherPlace(facts.value.attributes, facts.value.reparseTag)) {
      return Made::failure(ELOOP);
    }
    // "." is a second handle of this folder, with a listing of its own.
    return Made::of(std::make_unique<WindowsFolder>(name == "." ? path() : pathOf(name),
                                                    std::move(opened.handle)));
  }

  Status makeFolder(const std::string& name, FileMode mode) override {
    Opened made = openHere(name, FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, FILE_DIRECTORY_FILE,
                           FILE_CREATE);
    if (made.error != 0) return Status::failure(made.error);
    return (mode & 0200) ? Status::success() : setModeOf(made.handle.get(), mode);
  }

  Status removeFolder(const std::string& name) override {
    return removeEntry(name, FILE_DIRECTORY_FILE);
  }

  Status removeFile(const std::string& name) override {
    return removeEntry(name, FILE_NON_DIRECTORY_FILE);
  }

  // Other programs may go on reading, writing and even deleting the file
  // while it is copied; a program that shares nothing gets its line.
  Result<std::unique_ptr<InputFile>> openFile(const std::string& name) override {
    using Made = Result<std::unique_ptr<InputFile>>;
    Opened opened = openHere(name, GENERIC_READ, FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY);
    if (opened.error != 0) return Made::failure(opened.error);
    const auto info = infoOfHandle(opened.handle.get());
    if (!info.ok()) return Made::failure(info.error);
    if (info.value.kind != EntryKind::File) return Made::failure(EINVAL);
    return Made::of(std::make_unique<WindowsInputFile>(std::move(opened.handle), info.value));
  }

  Result<std::unique_ptr<OutputFile>> createFile(const std::string& name) override {
    return openForWriting(name, GENERIC_WRITE, FILE_CREATE, true);
  }

  Result<std::unique_ptr<OutputFile>> createUnnamedFile(const std::string&) override {
    return Result<std::unique_ptr<OutputFile>>::failure(EOPNOTSUPP);
  }

  // Appending access alone makes every write land at the end, as O_APPEND.
  Result<std::unique_ptr<OutputFile>> appendFile(const std::string& name) override {
    return openForWriting(name, FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES, FILE_OPEN_IF, false);
  }

  Result<std::unique_ptr<OutputFile>> openToRewrite(const std::string& name) override {
    return openForWriting(name, GENERIC_WRITE, FILE_OPEN, false);
  }

  Status rename(const std::string& from, const std::string& to) override {
    return moveEntry(from, *this, to, true);
  }

  Status moveTo(const std::string& name, Folder& destination, const std::string& to) override {
    return moveEntry(name, destination, to, false);
  }

  Status linkTo(const std::string& name, Folder& destination, const std::string& to) override {
    auto* other = dynamic_cast<WindowsFolder*>(&destination);
    if (other == nullptr) return Status::failure(EXDEV);
    Opened entry = openHere(name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0);
    if (entry.error != 0) return Status::failure(entry.error);
    return renameHandle(entry.handle.get(), other->handle(), wide(to), false, FileLinkInformation);
  }

  Result<std::string> readLink(const std::string& name) override {
    Opened entry = openHere(name, FILE_READ_ATTRIBUTES, 0);
    if (entry.error != 0) return Result<std::string>::failure(entry.error);
    std::vector<std::byte> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    if (!::DeviceIoControl(entry.handle.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                           static_cast<DWORD>(data.size()), &got, nullptr)) {
      return Result<std::string>::failure(lastError());
    }
    return linkTextOf(data.data(), got);
  }

  // Windows makes a link for a folder and one for a file; the text decides,
  // as it is read in this folder.
  Status makeLink(const std::string& name, const std::string& text) override {
    const std::wstring here = finalPathOf(h_.get());
    if (here.empty()) return Status::failure(lastError());
    const std::wstring link = here + L"\\" + wide(name);
    std::wstring target = wide(text);
    std::replace(target.begin(), target.end(), L'/', L'\\');
    const bool absolute = rootLengthOf(text) > 0;
    const DWORD targetAttributes =
        ::GetFileAttributesW((absolute ? target : here + L"\\" + target).c_str());
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
        (targetAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    }
    if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) {
      return Status::failure(lastError());
    }
    // Some systems answer yes and make nothing.
    return stat(name).ok() ? Status::success() : Status::failure(EOPNOTSUPP);
  }

  Status setLinkTime(const std::string& name, timespec modified) override {
    Opened entry = openHere(name, FILE_WRITE_ATTRIBUTES, 0);
    if (entry.error != 0) return Status::failure(entry.error);
    return setModifiedOf(entry.handle.get(), modified);
  }

  Status setLinkOwner(const std::string&, UserId, GroupId) override { return Status::success(); }

  Result<EntryInfo> info() override { return infoOfHandle(h_.get()); }

  Status setModified(timespec modified) override { return setModifiedOf(h_.get(), modified); }

  Status setMode(FileMode mode) override { return setModeOf(h_.get(), mode); }
  Status setOwner(UserId, GroupId) override { return Status::success(); }
  Status copyAttributesFrom(Folder& source) override {
    auto* windowsSource = dynamic_cast<WindowsFolder*>(&source);
    return windowsSource == nullptr ? Status::success()
                                    : carryMarks(windowsSource->handle(), h_.get());
  }
  bool answersWithKeptTimes() override { return true; }
  bool foldsCase() override { return true; }

  // Every copy is flushed before it takes its name, so nothing is left for
  // the end of the run: Windows syncs a whole volume only for the
  // administrator.
  Status syncFileSystem() override { return Status::success(); }
  bool gainsFromEarlySyncs() override { return false; }

  // A folder opened to be walked, and its times and attributes set.
  static constexpr ACCESS_MASK kFolderAccess =
      FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

 private:
  // Opens the entry `name` itself ("." is this folder); fails with ELOOP
  // where the system went through a link to another place instead.
  Opened openHere(const std::string& name, ACCESS_MASK access, ULONG options,
                  ULONG disposition = FILE_OPEN) {
    const std::wstring text = name == "." ? std::wstring() : wide(name);
    if (!text.empty() && !isPlainName(text)) return {Handle(), EINVAL};
    if (text.empty() && name != ".") return {Handle(), EINVAL};
    Opened opened = openRelative(h_.get(), text, access, disposition, options);
    // Source folders on media that cannot be written are still walked.
    if (opened.error == EACCES && (access & FILE_WRITE_ATTRIBUTES)) {
      opened = openRelative(h_.get(), text, access & ~ACCESS_MASK{FILE_WRITE_ATTRIBUTES},
                            disposition, options);
    }
    if (opened.error == 0 && !text.empty() && disposition != FILE_CREATE && followsUnixLinks() &&
        !reachedByName(opened.handle.get(), name)) {
      return {Handle(), ELOOP};
    }
    return opened;
  }

  // With FILE_OPEN_REPARSE_POINT Windows never follows a link. Wine, over a
  // Unix folder, follows Unix links silently, and whatever is done to the
  // handle then happens to the place the link leads to (a rename renames
  // it, a deletion deletes it): there only the final path shows the link.
  static bool followsUnixLinks() {
    static const bool wine =
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
  }

  // Whether the system reached `name` in this folder and not a place some
  // link led to. Asked anew each time, as this folder may have moved since;
  // where wine cannot tell (it loses the paths below a moved folder), the
  // entry is taken for a link and left alone.
  bool reachedByName(HANDLE opened, const std::string& name) {
    const std::wstring here = pathOnVolumeOf(h_.get());
    const std::wstring reached = pathOnVolumeOf(opened);
    if (here.empty() || reached.empty()) return false;
    const std::wstring expected = here + (here.ends_with(L'\\') ? L"" : L"\\") + wide(name);
    return sameName(reached, expected);
  }

  // Removing a read-only file or folder, or replacing one, is refused; a
  // copy the backup made read-only (from its source) must not block the
  // backup.
  void clearReadOnly(const std::string& name) {
    Opened entry = openHere(name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0);
    if (entry.error != 0) return;
    const auto facts = factsOf(entry.handle.get());
    if (!facts.ok() || !(facts.value.attributes & FILE_ATTRIBUTE_READONLY)) return;
    (void)setAttributes(entry.handle.get(),
                        facts.value.attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  }

  Status removeEntry(const std::string& name, ULONG options) {
    clearReadOnly(name);
    Opened entry = openHere(name, DELETE, options);
    if (entry.error != 0) return Status::failure(entry.error);
    FILE_DISPOSITION_INFO dispose{};
    dispose.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(entry.handle.get(), FileDispositionInfo, &dispose,
                                      sizeof dispose)) {
      return Status::failure(lastError());
    }
    return Status::success();
  }

  Status moveEntry(const std::string& name, Folder& destination, const std::string& to,
                   bool replace) {
    auto* other = dynamic_cast<WindowsFolder*>(&destination);
    if (other == nullptr) return Status::failure(EXDEV);
    const std::wstring toName = wide(to);
    // Names that differ in letter case alone name one entry here.
    const bool caseOnly = other == this && name != to && sameName(wide(name), toName);
    if (replace && !caseOnly) {
      // Never a folder's contents: a folder in the way stays, and the move
      // fails as rename(2) does.
      const auto there = other->stat(to);
      if (there.ok() && there.value.kind == EntryKind::Folder) return Status::failure(EISDIR);
      other->clearReadOnly(to);
    }
    Opened entry = openHere(name, DELETE | FILE_READ_ATTRIBUTES, 0);
    if (entry.error != 0) return Status::failure(entry.error);
    const Status moved =
        renameHandle(entry.handle.get(), other->handle(), toName, replace, FileRenameInformation);
    if (!moved.ok() || !caseOnly || pathOnVolumeOf(entry.handle.get()).ends_with(L"\\" + toName)) {
      return moved;
    }
    // Wine answers a change of letter case alone with success and keeps the
    // old name: the entry goes there by way of a name of its own.
    const Status away = renameHandle(entry.handle.get(), h_.get(), toName + L".tavro-case", false,
                                     FileRenameInformation);
    if (!away.ok()) return away;
    return renameHandle(entry.handle.get(), h_.get(), toName, false, FileRenameInformation);
  }

  Result<std::unique_ptr<OutputFile>> openForWriting(const std::string& name, ACCESS_MASK access,
                                                     ULONG disposition, bool flushOnClose) {
    using Made = Result<std::unique_ptr<OutputFile>>;
    Opened opened =
        openHere(name, access | FILE_READ_ATTRIBUTES, FILE_NON_DIRECTORY_FILE, disposition);
    if (opened.error != 0) return Made::failure(opened.error);
    const auto facts = factsOf(opened.handle.get());
    if (!facts.ok()) return Made::failure(facts.error);
    if (kindOf(facts.value.attributes, facts.value.reparseTag) != EntryKind::File) {
      return Made::failure(EINVAL);
    }
    return Made::of(std::make_unique<WindowsOutputFile>(std::move(opened.handle), flushOnClose));
  }

  static Result<std::string> linkTextOf(const std::byte* data, DWORD size) {
    // The layout of REPARSE_DATA_BUFFER, which MinGW keeps among the
    // driver headers.
    struct Header {
      DWORD tag;
      WORD length;
      WORD reserved;
      WORD substituteOffset, substituteLength, printOffset, printLength;
    };
    if (size < sizeof(Header)) return Result<std::string>::failure(EINVAL);
    Header header;
    std::memcpy(&header, data, sizeof header);
    std::size_t pathsAt = sizeof(Header);
    if (header.tag == IO_REPARSE_TAG_SYMLINK) {
      pathsAt += sizeof(ULONG);  // the symbolic link's flags
    } else if (header.tag != IO_REPARSE_TAG_MOUNT_POINT) {
      return Result<std::string>::failure(EINVAL);
    }
    const bool usePrint = header.printLength > 0;
    const WORD offset = usePrint ? header.printOffset : header.substituteOffset;
    const WORD length = usePrint ? header.printLength : header.substituteLength;
    if (pathsAt + offset + length > size) return Result<std::string>::failure(EINVAL);
    std::wstring text(length / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data + pathsAt + offset, length);
    if (!usePrint && text.starts_with(L"\\??\\")) text.erase(0, 4);
    return Result<std::string>::of(narrow(text));
  }

  Handle h_;
  mutable std::optional<FolderId> id_;
};

}  // namespace

Result<std::unique_ptr<Folder>> WindowsFileSystem::openFolder(const std::string& path) {
  using Made = Result<std::unique_ptr<Folder>>;
  if (path.empty()) return Made::failure(ENOENT);
  const std::wstring whole = systemPath(path);
  HANDLE h = ::CreateFileW(whole.c_str(), WindowsFolder::kFolderAccess | SYNCHRONIZE, kShareAll,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    h = ::CreateFileW(whole.c_str(),
                      (WindowsFolder::kFolderAccess & ~FILE_WRITE_ATTRIBUTES) | SYNCHRONIZE,
                      kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  if (h == INVALID_HANDLE_VALUE) return Made::failure(lastError());
  Handle opened(h);
  const auto facts = factsOf(h);
  if (!facts.ok()) return Made::failure(facts.error);
  if (!(facts.value.attributes & FILE_ATTRIBUTE_DIRECTORY)) return Made::failure(ENOTDIR);
  return Made::of(std::make_unique<WindowsFolder>(path, std::move(opened)));
}

Result<EntryInfo> WindowsFileSystem::stat(const std::string& path) {
  if (path.empty()) return Result<EntryInfo>::failure(ENOENT);
  Handle h(::CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.valid()) return Result<EntryInfo>::failure(lastError());
  return infoOfHandle(h.get());
}

Status WindowsFileSystem::makeFolder(const std::string& path) {
  return ::CreateDirectoryW(systemPath(path).c_str(), nullptr) ? Status::success()
                                                               : Status::failure(lastError());
}

Result<std::string> WindowsFileSystem::absolutePath(const std::string& path) {
  if (rootLengthOf(path) > 2 ||
      (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1]))) {
    return Result<std::string>::of(path);
  }
  const std::wstring whole = systemPath(path);
  if (!whole.starts_with(L"\\\\?\\")) return Result<std::string>::failure(EINVAL);
  return Result<std::string>::of(userPath(whole));
}

// The real path of the longest part that exists, the rest as written, with
// "." and ".." folded as Windows folds them: as text, before any link.
std::string WindowsFileSystem::resolve(const std::string& path) {
  if (path.empty()) return {};
  std::wstring whole = systemPath(path);
  std::wstring rest;
  for (;;) {
    Handle h(::CreateFileW(whole.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.valid()) {
      std::wstring real = finalPathOf(h.get());
      if (!real.empty()) whole = std::move(real);
      break;
    }
    const std::size_t cut = whole.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut < systemRootLength(whole)) break;
    rest = whole.substr(cut) + rest;
    whole.resize(cut);
  }
  return userPath(whole + rest);
}

bool WindowsFileSystem::keepsOwners() { return false; }

std::optional<std::string> WindowsFileSystem::unmountedMountPointOf(const std::string&) {
  // A drive that is not there has no folder in its place: its path fails.
  return std::nullopt;
}

}  // namespace tavro
