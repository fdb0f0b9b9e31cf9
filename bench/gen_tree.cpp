// Reproducible trees for the mirror benchmark, and the reference copier.
//
//   tavro-gentree documents DIR   ~50,000 small files, six folder levels deep
//   tavro-gentree media DIR       a few dozen files of 8 to 64 MiB
//   tavro-gentree small DIR       a tenth of the documents tree
//   tavro-gentree million DIR     1,000,000 files of 0-2 KiB, folders of 1 to 80
//                                 files and 0 to 6 sub-folders, about ten deep
//   tavro-gentree mutate DIR N    rewrites 1% and deletes 1% of the files (round N)
//   tavro-gentree cfr SRC DST     copies every file of a flat folder with
//                                 copy_file_range, as fast as the kernel can

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::time_t kBaseTime = 1600000000;  // September 2020

struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::uint64_t below(std::uint64_t n) { return next() % n; }
};

void die(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

// One block of random letters serves every file; each file starts at its own
// place in it, so contents differ without generating new data per file.
const std::vector<char>& block() {
  static const std::vector<char> data = [] {
    Random random{99};
    std::vector<char> bytes(2 << 20);
    for (auto& c : bytes) c = static_cast<char>('a' + random.below(26));
    return bytes;
  }();
  return data;
}

void writeFile(const std::string& path, std::uint64_t size, Random& random, std::time_t time) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) die(path);
  const auto& data = block();
  const std::size_t half = data.size() / 2;
  std::uint64_t left = size;
  while (left > 0) {
    const std::size_t n = std::min<std::uint64_t>(left, half);
    if (::write(fd, data.data() + random.below(half), n) != static_cast<ssize_t>(n)) die(path);
    left -= n;
  }
  const timespec times[2] = {{time, 0}, {time, 0}};
  if (::futimens(fd, times) != 0 || ::close(fd) != 0) die(path);
}

// Three sub-folders per folder down to depth six, files in every folder.
void documents(const std::string& root, int filesPerFolder) {
  Random random{42};
  std::vector<std::pair<std::string, int>> folders{{root, 0}};
  std::uint64_t count = 0;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const auto [folder, depth] = folders[i];
    fs::create_directories(folder);
    for (int f = 0; f < filesPerFolder; ++f) {
      const std::uint64_t size = random.below(8192) + (random.below(20) == 0 ? 32768 : 0);
      writeFile(folder + "/doc" + std::to_string(f) + ".txt", size, random,
                kBaseTime + static_cast<std::time_t>(count++));
    }
    if (depth < 6) {
      for (int s = 0; s < 3; ++s) folders.push_back({folder + "/dir" + std::to_string(s), depth + 1});
    }
  }
  std::printf("%llu files in %zu folders\n", static_cast<unsigned long long>(count), folders.size());
}

// Folders are made breadth first, each with its own number of files and
// sub-folders, until the tree holds a million files.
void million(const std::string& root) {
  constexpr std::uint64_t kFiles = 1000000;
  Random random{1000000};
  std::vector<std::pair<std::string, int>> folders{{root, 0}};
  std::uint64_t count = 0;
  std::size_t made = 0;
  for (std::size_t i = 0; count < kFiles; ++i, ++made) {
    if (i == folders.size()) folders.push_back({root + "/more" + std::to_string(i), 1});
    const auto [folder, depth] = folders[i];
    fs::create_directories(folder);
    const std::uint64_t files = 1 + random.below(80);
    for (std::uint64_t f = 0; f < files && count < kFiles; ++f) {
      writeFile(folder + "/f" + std::to_string(f) + ".dat", random.below(2049), random,
                kBaseTime + static_cast<std::time_t>(count++));
    }
    if (depth < 10) {
      const std::uint64_t subfolders = random.below(7);
      for (std::uint64_t s = 0; s < subfolders; ++s) {
        folders.push_back({folder + "/d" + std::to_string(s), depth + 1});
      }
    }
  }
  std::printf("%llu files in %zu folders\n", static_cast<unsigned long long>(count), made);
}

void media(const std::string& root) {
  Random random{7};
  fs::create_directories(root);
  std::uint64_t total = 0;
  for (int i = 0; i < 24; ++i) {
    const std::uint64_t size = (8 + random.below(57)) << 20;
    writeFile(root + "/clip" + std::to_string(i) + ".mp4", size, random, kBaseTime + i);
    total += size;
  }
  std::printf("24 files, %llu MiB\n", static_cast<unsigned long long>(total >> 20));
}

void mutate(const std::string& root, std::uint64_t round) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  Random random{1000 + round};
  std::size_t changed = 0, deleted = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::uint64_t pick = random.below(100);
    if (pick == 0) {
      writeFile(files[i], random.below(8192), random,
                kBaseTime + 100000000 + static_cast<std::time_t>(round * 1000000 + i));
      ++changed;
    } else if (pick == 1) {
      fs::remove(files[i]);
      ++deleted;
    }
  }
  std::printf("%zu changed, %zu deleted of %zu\n", changed, deleted, files.size());
}

void copyWithCopyFileRange(const std::string& source, const std::string& target) {
  fs::create_directories(target);
  for (const auto& entry : fs::directory_iterator(source)) {
    const int in = ::open(entry.path().c_str(), O_RDONLY);
    const std::string out = target + "/" + entry.path().filename().string();
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || fd < 0) die(out);
    for (;;) {
      const ssize_t n = ::copy_file_range(in, nullptr, fd, nullptr, 1 << 30, 0);
      if (n < 0) die(out);
      if (n == 0) break;
    }
    ::close(in);
    ::close(fd);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "documents") {
    documents(args[1], 45);
  } else if (args.size() == 2 && args[0] == "small") {
    documents(args[1], 4);
  } else if (args.size() == 2 && args[0] == "million") {
    million(args[1]);
  } else if (args.size() == 2 && args[0] == "media") {
    media(args[1]);
  } else if (args.size() == 3 && args[0] == "mutate") {
    mutate(args[1], std::stoull(args[2]));
  } else if (args.size() == 3 && args[0] == "cfr") {
    copyWithCopyFileRange(args[1], args[2]);
  } else {
    std::fprintf(stderr, "usage: tavro-gentree documents|small|million|media DIR | mutate DIR N | cfr SRC DST\n");
    return 2;
  }
  return 0;
}
