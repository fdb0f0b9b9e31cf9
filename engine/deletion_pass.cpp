#include "engine/deletion_pass.h"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>

namespace tavro {

namespace {

bool isGone(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

// The names of a folder, each with whether it is a folder, folded into a
// count and an order-free sum of hashes. When a target folder's summary
// equals its source folder's, every target entry has a source entry of the
// same name and kind, and the pass needs no lookup for its files. A false
// match could only keep a file that should have gone, never delete one.
struct NameSummary {
  std::uint64_t count = 0;
  std::uint64_t sum = 0;
  bool complete = true;  // false when some entry's kind was not listed
  bool operator==(const NameSummary&) const = default;
};

std::uint64_t nameHash(const std::string& name, bool folder) {
  std::uint64_t h = folder ? 0x9E3779B97F4A7C15ULL : 0xCBF29CE484222325ULL;
  for (unsigned char c : name) h = (h ^ c) * 0x100000001B3ULL;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDULL;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ULL;
  return h ^ (h >> 33);
}

// Reads the whole listing; nullopt when it cannot be read to its end. On
// the source side special files count as absent, as they are never copied.
std::optional<NameSummary> summarize(Folder& folder, bool sourceSide) {
  auto listing = folder.list();
  if (!listing.ok()) return std::nullopt;
  NameSummary summary;
  ListedEntry entry;
  int error = 0;
  while (listing.value->next(entry, &error)) {
    if (entry.kind == EntryKind::Unknown) summary.complete = false;
    if (sourceSide && entry.kind == EntryKind::Special) continue;
    ++summary.count;
    summary.sum += nameHash(entry.name, entry.kind == EntryKind::Folder);
  }
  if (error != 0) return std::nullopt;
  return summary;
}

class DeletionPass {
 public:
  DeletionPass(RunDisplay& display, FolderId sourceTop)
      : display_(display), sourceTop_(sourceTop) {}

  // `source` is null when the source has no folder of this name any more:
  // then everything below `target` goes.
  void prune(Folder* source, Folder& target) {
    bool sameNames = false;
    if (source != nullptr) {
      // A source folder that cannot be read to its end is not known to lack
      // anything.
      const auto have = summarize(*source, true);
      if (!have) return;
      const auto mirrored = summarize(target, false);
      sameNames = mirrored && have->complete && mirrored->complete && *have == *mirrored;
    }
    auto listing = target.list();
    if (!listing.ok()) return;
    ListedEntry entry;
    int error = 0;
    while (listing.value->next(entry, &error)) {
      EntryKind kind = entry.kind;
      if (kind == EntryKind::Unknown) {
        const auto info = target.stat(entry.name);
        if (!info.ok()) continue;
        kind = info.value.kind;
      }
      if (kind == EntryKind::Folder) {
        pruneSubfolder(source, target, entry.name);
      } else if (!sameNames && !inSourceAsFile(source, entry.name)) {
        deleteFile(target, entry.name);
      }
    }
  }

 private:
  void pruneSubfolder(Folder* source, Folder& target, const std::string& name) {
    display_.processMessages();
    auto sub = target.openFolder(name);
    if (sub.ok() && sub.value->id() == sourceTop_) return;

    std::unique_ptr<Folder> sourceSub;
    if (source != nullptr) {
      auto opened = source->openFolder(name);
      if (opened.ok()) {
        sourceSub = std::move(opened.value);
      } else if (!isGone(opened.error)) {
        return;  // there, but out of reach: its backup stays as it is
      }
    }
    if (sub.ok()) prune(sourceSub.get(), *sub.value);
    if (!sourceSub) (void)target.removeFolder(name);
  }

  // A name that is a file or a link in the source keeps its copy; so does
  // any name the source cannot answer for.
  static bool inSourceAsFile(Folder* source, const std::string& name) {
    if (source == nullptr) return false;
    const auto info = source->stat(name);
    if (!info.ok()) return !isGone(info.error);
    return info.value.kind == EntryKind::File || info.value.kind == EntryKind::Link;
  }

  void deleteFile(Folder& target, const std::string& name) {
    const std::string path = target.pathOf(name);
    display_.fileDeletionStarted(path);
    display_.processMessages();
    if (!target.removeFile(name).ok()) display_.addLine("Nelze smazat subor: " + path + " !!!");
    display_.fileDeletionFinished();
  }

  RunDisplay& display_;
  FolderId sourceTop_;
};

}  // namespace

void Vymaz(FileSystem& fs, RunDisplay& display, const std::string& source,
           const std::string& target) {
  display.processMessages();
  auto targetTop = fs.openFolder(target);
  if (!targetTop.ok()) return;
  // Without a readable source nothing can be known to be gone: an unplugged
  // drive must not empty its backup.
  auto sourceTop = fs.openFolder(source);
  if (!sourceTop.ok()) return;
  DeletionPass(display, sourceTop.value->id()).prune(sourceTop.value.get(), *targetTop.value);
}

}  // namespace tavro
