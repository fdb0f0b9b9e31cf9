#pragma once

#include "engine/stop_request.h"

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
  // Off, each entry is looked up only when the walk comes to it, all on the
  // walk's thread (the environment's TAVRO_NO_READ_AHEAD turns it off, too).
  bool readAhead = true;
};

}  // namespace tavro
