// Until the main window exists, the program shows what its engine does: it
// builds a small sample tree, mirrors it into a temporary target, changes the
// source and mirrors again, printing every step of each run.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "engine/deletion_pass.h"
#include "engine/tree_copy.h"

namespace {

class ConsoleDisplay final : public tavro::RunDisplay {
 public:
  void fileCopyStarted(const std::string& path) override { std::cout << "  kopíruji " << path << "\n"; }
  void fileGaugeRange(int) override {}
  void fileGaugeProgress(int) override {}
  void fileCopyFinished() override {}
  void fileDeletionStarted(const std::string& path) override {
    std::cout << "  mažu " << path << "\n";
  }
  void fileDeletionFinished() override {}
  void addLine(const std::string& line) override { std::cout << "  " << line << "\n"; }
  void processMessages() override {}
};

void write(const std::filesystem::path& file, const std::string& contents) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << contents;
}

void mirror(const std::string& source, const std::string& target) {
  tavro::PosixFileSystem fs;
  ConsoleDisplay display;
  tavro::Kopiruj(fs, display, source, target);
  tavro::Vymaz(fs, display, source, target);
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "tavro-demo-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path root = pattern;
  const fs::path source = root / "Dokumenty";
  const fs::path target = root / "Zaloha" / "Dokumenty";

  write(source / "dopis.txt", "Vážení,\n");
  write(source / "projekty" / "plan.txt", "1. krok\n");
  write(source / "projekty" / "rozpocet.csv", "položka,částka\n");
  write(source / "fotky" / "léto.jpg", std::string(200000, 'j'));

  std::cout << "Zdroj: " << source.string() << "\nCíl:   " << target.string() << "\n\n";
  std::cout << "První záloha:\n";
  mirror(source, target);

  std::cout << "\nBez změn:\n";
  mirror(source, target);

  std::cout << "\nPo změně a smazání ve zdroji:\n";
  write(source / "projekty" / "plan.txt", "1. krok\n2. krok\n");
  const auto later = fs::last_write_time(source / "projekty" / "plan.txt") + std::chrono::seconds(10);
  fs::last_write_time(source / "projekty" / "plan.txt", later);
  fs::remove_all(source / "fotky");
  mirror(source, target);

  std::cout << "\nObsah zálohy:\n";
  for (const auto& entry : fs::recursive_directory_iterator(target)) {
    std::cout << "  " << fs::relative(entry.path(), target).string()
              << (entry.is_directory() ? "/" : "") << "\n";
  }
  fs::remove_all(root);
  return 0;
}
