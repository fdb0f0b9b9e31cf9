#pragma once

#include <functional>
#include <string>

namespace tavro::testkit {

// Tests run as root, where permission bits stop nothing. These helpers let a
// test meet the system as a user does: as an unprivileged user, and on real
// mounts. Each returns a reason when the machine cannot do it, so the test
// can skip with that reason instead of passing without having tried.

inline constexpr unsigned kNobody = 65534;

// Runs `work` in a child process as user and group 65534 with no other
// groups, and returns what it returned. The child's file-system calls meet
// real permission checks. `whyNot` is set (and "" returned) when the process
// cannot switch users or the child did not finish.
std::string runAsNobody(const std::function<std::string()>& work, std::string* whyNot);

// Gives `path` (and every folder above it up to /) the search permission for
// others, so that user 65534 can reach what lies below it.
void openPathToOthers(const std::string& path);

// Mounts a tmpfs of `bytes` bytes on the existing folder `at`. The first call
// moves this process into a mount namespace of its own, so nothing it mounts
// is seen outside or outlives it. Returns "" or why it could not.
std::string mountTmpfs(const std::string& at, long bytes);
// Mounts a ramfs, which holds neither extended attributes nor access
// control lists, on the existing folder `at`; "" or why not.
std::string mountRamfs(const std::string& at);
// Binds the folder `from` onto the folder `at`; "" or why not.
std::string bindMount(const std::string& from, const std::string& at);
// Makes a small file-system image `image` of one of the kinds USB drives and
// older disks have, and mounts it on the folder `at`: "fat" (through the
// kernel, else fusefat) or "ext4-128" (ext4 with 128-byte inodes, which
// keeps whole seconds). "" or why not.
std::string mountImage(const std::string& kind, const std::string& image, const std::string& at);
// Unmounts what is mounted on `at`; "" or why not.
std::string unmount(const std::string& at);

// Whether the tests run on Windows (under wine here), where a test of a
// POSIX-only thing skips with its reason.
bool onWindows();

// Sets the local time zone by a POSIX TZ string, or back to the system's
// with nullptr; "" or why not (on Windows, a zone with daylight-saving
// rules).
std::string setTimeZone(const char* posixZone);
// Sets an environment variable, or removes it with nullptr.
void setEnvironment(const char* name, const char* value);
// Makes `path` the current folder.
void changeFolder(const std::string& path);
// Gives the entry `path` itself (never what a link leads to) to another
// owner and group; "" or why not.
std::string giveTo(const std::string& path, unsigned owner, unsigned group);

}  // namespace tavro::testkit
