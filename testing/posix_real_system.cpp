#include "testing/real_system.h"

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tavro::testkit {

namespace {

std::string reason(const std::string& what) { return what + ": " + std::strerror(errno); }

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string privateMounts() {
  static const std::string failure = [] {
    if (::unshare(CLONE_NEWNS) != 0) return reason("unshare(CLONE_NEWNS)");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return reason("making / private");
    }
    return std::string();
  }();
  return failure;
}

}  // namespace

std::string runAsNobody(const std::function<std::string()>& work, std::string* whyNot) {
  if (::geteuid() != 0) {
    *whyNot = "switching to user 65534 needs root";
    return "";
  }
  int pipe[2];
  if (::pipe(pipe) != 0) {
    *whyNot = reason("pipe");
    return "";
  }
  const pid_t child = ::fork();
  if (child < 0) {
    *whyNot = reason("fork");
    return "";
  }
  if (child == 0) {
    ::close(pipe[0]);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
      ::_exit(3);
    }
    const bool sent = writeAll(pipe[1], work());
    ::_exit(sent ? 0 : 4);
  }
  ::close(pipe[1]);
  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipe[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *whyNot = WIFEXITED(status) && WEXITSTATUS(status) == 3
                  ? "the child could not switch to user 65534"
                  : "the child as user 65534 did not finish";
    return "";
  }
  whyNot->clear();
  return output;
}

void openPathToOthers(const std::string& path) {
  std::string folder = path;
  while (!folder.empty() && folder != "/") {
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      (void)::chmod(folder.c_str(), (st.st_mode & 07777) | S_IXOTH);
    }
    const auto slash = folder.find_last_of('/');
    if (slash == std::string::npos || slash == 0) break;
    folder.resize(slash);
  }
}

std::string mountTmpfs(const std::string& at, long bytes) {
  if (std::string failure = privateMounts(); !failure.empty()) return failure;
  const std::string options = "size=" + std::to_string(bytes);
  if (::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    return reason("mounting a tmpfs on " + at);
  }
  return "";
}

std::string mountRamfs(const std::string& at) {
  if (std::string failure = privateMounts(); !failure.empty()) return failure;
  if (::mount("ramfs", at.c_str(), "ramfs", 0, nullptr) != 0) {
    return reason("mounting a ramfs on " + at);
  }
  return "";
}

std::string bindMount(const std::string& from, const std::string& at) {
  if (std::string failure = privateMounts(); !failure.empty()) return failure;
  if (::mount(from.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    return reason("binding " + from + " on " + at);
  }
  return "";
}

std::string mountImage(const std::string& kind, const std::string& image, const std::string& at) {
  if (std::string failure = privateMounts(); !failure.empty()) return failure;
  auto shell = [](const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  };
  const std::string quotedImage = "'" + image + "'";
  const std::string quotedAt = "'" + at + "'";
  if (!shell("truncate -s 32M " + quotedImage)) return "cannot make the image " + image;
  if (kind == "ext4-128") {
    if (!shell("mkfs.ext4 -q -I 128 " + quotedImage)) return "mkfs.ext4 -I 128 failed";
    if (!shell("mount -o loop " + quotedImage + " " + quotedAt)) {
      return "this machine cannot mount a loop image (mount -o loop)";
    }
    return "";
  }
  if (kind == "fat") {
    if (!shell("mkfs.vfat " + quotedImage)) return "mkfs.vfat failed (dosfstools)";
    if (shell("mount -t vfat -o loop " + quotedImage + " " + quotedAt)) return "";
    if (shell("fusefat -o rw+ " + quotedImage + " " + quotedAt)) return "";
    return "neither the kernel's vfat nor fusefat can mount a FAT image here";
  }
  return "no such kind of image: " + kind;
}

std::string unmount(const std::string& at) {
  if (::umount2(at.c_str(), 0) != 0) return reason("unmounting " + at);
  return "";
}

bool onWindows() { return false; }

std::string setTimeZone(const char* posixZone) {
  setEnvironment("TZ", posixZone);
  ::tzset();
  return "";
}

void setEnvironment(const char* name, const char* value) {
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

void changeFolder(const std::string& path) {
  if (::chdir(path.c_str()) != 0) std::abort();
}

std::string giveTo(const std::string& path, unsigned owner, unsigned group) {
  return ::lchown(path.c_str(), owner, group) == 0 ? "" : reason("lchown " + path);
}

}  // namespace tavro::testkit
