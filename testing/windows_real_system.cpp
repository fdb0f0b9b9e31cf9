// Windows has neither other users to switch to nor mounts of its own: the
// tests that need them skip there, with this reason.
#include "testing/real_system.h"

#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "testing/native_path.h"

namespace tavro::testkit {

namespace {
const std::string kNotHere = "not on Windows: the test needs Linux users or mounts";
}  // namespace

std::string runAsNobody(const std::function<std::string()>&, std::string* whyNot) {
  *whyNot = kNotHere;
  return "";
}
void openPathToOthers(const std::string&) {}
std::string mountTmpfs(const std::string&, long) { return kNotHere; }
std::string mountRamfs(const std::string&) { return kNotHere; }
std::string bindMount(const std::string&, const std::string&) { return kNotHere; }
std::string mountImage(const std::string&, const std::string&, const std::string&) {
  return kNotHere;
}
std::string unmount(const std::string&) { return kNotHere; }

bool onWindows() { return true; }

// The C runtime's offset, which the program's follows, takes TZ as a name
// and an offset ("XST-5:30"); daylight-saving rules it does not read.
std::string setTimeZone(const char* posixZone) {
  if (posixZone != nullptr && std::strchr(posixZone, ',') != nullptr) {
    return "Windows' C runtime reads no daylight-saving rules in TZ";
  }
  setEnvironment("TZ", posixZone);
  ::_tzset();
  return "";
}

void setEnvironment(const char* name, const char* value) {
  ::_putenv_s(name, value != nullptr ? value : "");
}

void changeFolder(const std::string& path) { std::filesystem::current_path(nativePath(path)); }

// Windows keeps no owners by number; the run as another user that follows
// skips with its reason.
std::string giveTo(const std::string&, unsigned, unsigned) { return ""; }

}  // namespace tavro::testkit
