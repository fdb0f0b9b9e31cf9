// Arbitrary settings files: reading must never fail, and a write must change
// only the key it names.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/profile_file.h"
#include "testing/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tavro::testkit::fuzzScratchFolder() + "/Tavro.ini";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  tavro::PosixFileSystem fs;
  tavro::ProfileFile file(fs, path);
  const char* keys[] = {"T", "TAS", "TASmin", "TNTmin", "AAZ", "TNT", "DZP"};
  std::string before[7];
  for (int i = 0; i < 7; ++i) before[i] = file.read("Main", keys[i], "\x01missing");
  const std::string other = file.read("Other", "T", "\x01missing");

  if (!file.write("Main", "TNT", "7").ok()) std::abort();
  if (file.read("main", "tnt", "") != "7") std::abort();
  for (int i = 0; i < 7; ++i) {
    if (i != 5 && file.read("Main", keys[i], "\x01missing") != before[i]) std::abort();
  }
  if (file.read("Other", "T", "\x01missing") != other) std::abort();
  return 0;
}
