#pragma once

#include <span>

#include "engine/file_stamp.h"
#include "engine/stop_request.h"
#include "platform/file_system.h"

namespace tavro {

class History;
struct PairPlan;

// How the copy pass and the deletion pass go about their work.
struct PassOptions {
  // Asked between entries and between the chunks of a file.
  const StopRequest* stop = nullptr;
  // Set, the pass changes nothing on disk and adds here what it would do.
  PairPlan* plan = nullptr;
  // Set, what the pass would remove or replace is moved into it instead.
  History* history = nullptr;
  // Off, all is done on the walk's thread: each entry is looked up only when
  // the walk comes to it, and a folder the walk creates is copied by the
  // walk itself rather than beside it on a second thread.
  bool readAhead = true;
  // Set, the copy pass removes what holds a source entry's name as another
  // kind (a folder where the source has a file, or the reverse) before it
  // copies: only when the deletion pass is to run, which would remove it
  // anyway. Unset, nothing is removed: the file goes into that folder, and
  // the folder's files cannot be copied, until a later run.
  bool replaceOtherKinds = false;
  // Pairs' source folders, sorted: never removed to make room.
  std::span<const FolderId> otherSources{};
  // How finely the target keeps times: what tells a copy outdated.
  TimePrecision times{};
  // Set, copies take their sources' owners and groups (only the
  // administrator may give files away).
  bool keepOwners = false;
};

}  // namespace tavro
