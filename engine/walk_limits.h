#pragma once

namespace tavro {

// How many folders deep below a pair's folders the walks go. Each level holds
// open folders and a listing buffer on both sides, and the walks recurse, so
// a tree deeper than this (real ones stay far below it) is reported and left
// as it is instead of exhausting the stack or the descriptors.
inline constexpr int kMaxFolderDepth = 1000;

}  // namespace tavro
