#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tavro {

// What went wrong in a run, as the engine found it. The line the window, the
// log and the notices show is made from it (failureLine), never the other
// way round: code that needs to know what failed reads these fields.
enum class FailureKind {
  // The pair as a whole; `path` is its source.
  IncompletePair,    // a folder of the pair is not filled in; `target` holds the other
  InvalidPair,       // no pair folder can be made of the two; `target` holds the target
  OverlappingPair,   // the pair folder and the source hold one another
  SourceUnreadable,  // the source cannot be opened or listed
  StateNotRecorded,  // the pair's state could not go into the table
  MassDeletion,      // the deletion pass would take `count` of `of` files: skipped
  EmptySource,       // an empty source over a non-empty backup: deletions skipped
  // The pair's target; `path` is the target.
  TargetMissing,
  TargetUnopenable,
  TargetNotMounted,  // a mount point with nothing mounted, or emptied since the last run
  // A folder of the backup; `path` is that folder.
  SharedPairFolder,  // another pair's backup lies in it: deletions skipped
  OtherPairsSource,  // it holds another pair's source: not pruned
  NotOnDisk,         // what the run wrote could not be put on the disk
  // One entry; `path` is the entry.
  FolderTooDeep,
  FolderUnreadable,
  AttributesNotCopied,
  OldCopyNotRemoved,  // `path` in the backup: the new copy could not take its place
  NotCopied,
  NotDeleted,  // `path` in the backup
};

struct Failure {
  Failure(FailureKind kind, std::string path, int error = 0)
      : kind(kind), path(std::move(path)), error(error) {}
  // IncompletePair and InvalidPair.
  static Failure ofPair(FailureKind kind, std::string source, std::string target) {
    Failure failure(kind, std::move(source));
    failure.target = std::move(target);
    return failure;
  }
  static Failure massDeletion(std::string source, std::int64_t count, std::int64_t of) {
    Failure failure(FailureKind::MassDeletion, std::move(source));
    failure.count = count;
    failure.of = of;
    return failure;
  }

  FailureKind kind;
  std::string path;
  std::string target;      // IncompletePair and InvalidPair only
  int error = 0;           // the system's errno where it gave one, else 0
  std::int64_t count = 0;  // MassDeletion: files the pass would take
  std::int64_t of = 0;     // MassDeletion: files in the pair folder

  bool operator==(const Failure&) const = default;
};

// The failure's line as the run shows and logs it, in the words (and the
// misspellings) users and their log files already know, ending in " !!!".
std::string failureLine(const Failure& failure);

// A line as the window and the log show it: control characters (line breaks
// among them, also U+0085, U+2028 and U+2029) become "?", so that a file name
// can neither split a line nor forge one. The file keeps its real name.
std::string printableLine(const std::string& line);

}  // namespace tavro
