// Feeds arbitrary bytes to the pair table as Tavro.csv. Whatever loads must
// survive every read, and must read back the same after the table writes it.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "pairs/pair_table.h"
#include "testing/fuzz_scratch.h"

namespace {

std::vector<tavro::BackupPair> pairsOf(const tavro::PairTable& table) {
  std::vector<tavro::BackupPair> pairs;
  for (int i = 0; i < table.recordCount(); ++i) pairs.push_back(table.pairAt(i));
  return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tavro::testing::fuzzScratchFolder() + "/Tavro.csv";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  tavro::PosixFileSystem fs;
  tavro::PairTable table(fs, path);
  try {
    table.open();
  } catch (const tavro::TableError&) {
    return 0;
  }
  const auto before = pairsOf(table);
  for (int i = 0; i < table.recordCount(); ++i) {
    table.moveTo(i);
    (void)table.fieldText("Src");
  }
  table.append();
  table.setFieldText("Src", "/added");
  table.post();
  table.flush();

  tavro::PairTable again(fs, path);
  again.open();  // must not throw: the table wrote it
  auto after = pairsOf(again);
  if (after.empty() || after.back().Src != "/added") std::abort();
  after.pop_back();
  if (before != after) std::abort();
  return 0;
}
