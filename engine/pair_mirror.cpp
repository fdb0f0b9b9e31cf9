#include "engine/pair_mirror.h"

#include <cerrno>
#include <memory>
#include <optional>

#include "engine/deletion_pass.h"
#include "engine/target_folder.h"
#include "engine/tree_copy.h"

namespace tavro {

namespace {

// Whether a folder holds any entry; nullopt when it cannot be listed.
std::optional<bool> holdsEntries(Folder& folder) {
  auto listing = folder.list();
  if (!listing.ok()) return std::nullopt;
  ListedEntry entry;
  int error = 0;
  const bool any = listing.value->next(entry, &error);
  if (error != 0) return std::nullopt;
  return any;
}

}  // namespace

std::string NamePart(const std::string& source) { return splitPath(source).name; }

std::string pairFolderOf(const std::string& source, const std::string& target) {
  return target + "/" + NamePart(source);
}

void mirrorPair(FileSystem& fs, RunDisplay& display, const std::string& source,
                const std::string& target, const PairOptions& options) {
  auto fail = [&display](const std::string& text) { display.addLine(text + " !!!"); };
  const std::string name = NamePart(source);
  if (name == "." || name == "..") {
    fail("Neplatný pár: " + source + " -> " + target);
    return;
  }

  auto targetTop = fs.openFolder(target);
  if (!targetTop.ok()) {
    const bool missing = targetTop.error == ENOENT || targetTop.error == ENOTDIR;
    fail((missing ? "Cíl neexistuje: " : "Nelze otevřít cíl: ") + target);
    return;
  }
  auto sourceTop = fs.openFolder(source);
  const auto sourceHoldsEntries =
      sourceTop.ok() ? holdsEntries(*sourceTop.value) : std::optional<bool>{};
  if (!sourceHoldsEntries) {
    fail("Nelze číst zdroj: " + source);
    return;
  }

  TargetFolder targetFolder(std::move(targetTop.value));
  std::unique_ptr<TargetFolder> child;
  TargetFolder* pairFolder = &targetFolder;
  if (!name.empty()) {
    const auto existing = targetFolder.get()->stat(name);
    if (existing.ok() && existing.value.kind == EntryKind::Link) {
      fail("Neplatný pár: " + source + " -> " + target);
      return;
    }
    child = std::make_unique<TargetFolder>(targetFolder, name);
    // A failure shows as the copies that need the folder fail.
    child->createOneLevel();
    pairFolder = child.get();
  }

  Kopiruj(display, *sourceTop.value, *pairFolder, options.stop);

  Folder* folder = pairFolder->get();
  // After a stop the deletion pass does not start; what the copy pass wrote
  // still goes on the disk below.
  const Deletions deletions = stopRequested(options.stop) ? Deletions::Keep : options.deletions;
  switch (deletions) {
    case Deletions::Keep:
      break;
    case Deletions::Shared:
      fail("Výmaz vynechán, cíl sdílí jiný pár: " + pairFolderOf(source, target));
      break;
    case Deletions::Mirror:
      if (folder == nullptr) break;  // nothing there to delete
      if (!*sourceHoldsEntries && holdsEntries(*folder).value_or(true)) {
        fail("Zdroj je prázdný, výmaz vynechán: " + source);
      } else {
        Vymaz(display, *sourceTop.value, *folder, options.otherSources, options.stop);
      }
      break;
  }

  if (options.durable) {
    Folder& written = folder != nullptr ? *folder : *targetFolder.get();
    if (!written.syncFileSystem().ok()) fail("Nelze uložit na disk: " + written.path());
  }
}

}  // namespace tavro
