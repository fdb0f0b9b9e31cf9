#pragma once

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace tavro::testkit {

// A folder of its own for a fuzz target's input files, made once per
// process under $TMPDIR (else /tmp); the fuzz runner removes $TMPDIR after.
inline const std::string& fuzzScratchFolder() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tavro-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return path;
}

}  // namespace tavro::testkit
