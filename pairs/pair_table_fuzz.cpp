// Feeds arbitrary bytes to the pair table as Tavro.csv. Whatever loads must
// survive every read, must read back the same after the table writes it, and
// once written must stay as it is through the writes of every later run.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Records a state in every row as a run does; a row whose line cannot take
// it keeps its old one.
void recordStates(tavro::PairTable& table) {
  for (int i = 0; i < table.recordCount(); ++i) {
    table.moveTo(i);
    table.edit();
    try {
      table.setFieldText("Stav", "Neprovedeno");
      table.post();
    } catch (const tavro::TableError&) {
      table.cancel();
    }
  }
  table.flush();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = tavro::testkit::fuzzScratchFolder() + "/Tavro.csv";
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
  if (after.empty() || after.back().source != "/added") std::abort();
  after.pop_back();
  if (before != after) std::abort();

  // A second write changes nothing, and what is held is what reads back.
  recordStates(again);
  const std::string once = fileText(path);
  const auto held = pairsOf(again);
  tavro::PairTable third(fs, path);
  third.open();
  if (pairsOf(third) != held) std::abort();
  recordStates(third);
  if (fileText(path) != once) std::abort();
  return 0;
}
