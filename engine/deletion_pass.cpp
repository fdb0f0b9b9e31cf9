#include "engine/deletion_pass.h"

#include <cerrno>
#include <memory>

namespace tavro {

namespace {

// Whether a folder can be listed at all: a folder that opens but fails on
// its first entries (an I/O error, a stale network mount) is not one whose
// contents are known to be gone.
bool listingStarts(Folder& folder) {
  auto listing = folder.list();
  if (!listing.ok()) return false;
  ListedEntry entry;
  int error = 0;
  listing.value->next(entry, &error);
  return error == 0;
}

bool isGone(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

class DeletionPass {
 public:
  DeletionPass(RunDisplay& display, FolderId sourceTop)
      : display_(display), sourceTop_(sourceTop) {}

  // `source` is null when the source has no folder of this name any more:
  // then everything below `target` goes.
  void prune(Folder* source, Folder& target) {
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
      } else if (!inSourceAsFile(source, entry.name)) {
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
        if (!listingStarts(*opened.value)) return;
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
  if (!sourceTop.ok() || !listingStarts(*sourceTop.value)) return;
  DeletionPass(display, sourceTop.value->id()).prune(sourceTop.value.get(), *targetTop.value);
}

}  // namespace tavro
