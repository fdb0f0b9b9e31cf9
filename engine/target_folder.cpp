#include "engine/target_folder.h"

namespace tavro {

namespace {
// Private until the copy pass gives the folder its source's permissions,
// once its contents are there: a copy of a private folder is never readable
// by others, not even while a run is making it.
constexpr FileMode kNewFolderMode = 0700;
}  // namespace

TargetFolder::TargetFolder(FileSystem& fs, std::string path) : fs_(&fs), path_(std::move(path)) {
  tryOpen();
}

TargetFolder::TargetFolder(std::unique_ptr<Folder> folder) : folder_(std::move(folder)) {
  if (folder_) path_ = folder_->path();
}

TargetFolder::TargetFolder(TargetFolder& parent, std::string name)
    : parent_(&parent), name_(std::move(name)) {
  path_ = joinPath(parent.path(), name_);
  tryOpen();
}

void TargetFolder::tryOpen() {
  if (folder_) return;
  if (fs_ != nullptr) {
    auto opened = fs_->openFolder(path_);
    openError_ = opened.error;
    if (opened.ok()) folder_ = std::move(opened.value);
    return;
  }
  if (parent_ == nullptr) return;
  if (Folder* parent = parent_->folder_.get()) {
    auto opened = parent->openFolder(name_);
    openError_ = opened.error;
    if (opened.ok()) folder_ = std::move(opened.value);
  }
}

Folder* TargetFolder::get() {
  tryOpen();
  return folder_.get();
}

Folder* TargetFolder::getOrCreate() {
  if (folder_) return folder_.get();
  if (fs_ != nullptr) {
    makeFolderChain(*fs_, path_);
  } else if (parent_ == nullptr) {
    return nullptr;
  } else if (Folder* parent = parent_->getOrCreate()) {
    (void)parent->makeFolder(name_, kNewFolderMode);
  }
  tryOpen();
  return folder_.get();
}

void TargetFolder::createOneLevel() {
  if (folder_) return;
  if (fs_ != nullptr) {
    (void)fs_->makeFolder(path_);
  } else if (Folder* parent = parent_ ? parent_->folder_.get() : nullptr) {
    (void)parent->makeFolder(name_, kNewFolderMode);
  }
  tryOpen();
}

std::optional<FolderId> TargetFolder::id() const {
  if (!folder_) return std::nullopt;
  return folder_->id();
}

}  // namespace tavro
