#pragma once

#include <string>
#include <utility>

namespace tavro {

// The outcome of one operating-system call: 0 for success, otherwise the
// errno value that explains the failure. Callers decide what a failure means;
// nothing here throws.
struct [[nodiscard]] Status {
  int error = 0;

  bool ok() const { return error == 0; }
  static Status success() { return {}; }
  static Status failure(int code) { return Status{code}; }
};

// A value or the errno value that kept it from being produced.
template <class T>
struct [[nodiscard]] Result {
  T value{};
  int error = 0;

  bool ok() const { return error == 0; }
  static Result failure(int code) {
    Result r;
    r.error = code;
    return r;
  }
  static Result of(T v) {
    Result r;
    r.value = std::move(v);
    return r;
  }
};

// The system's reason for an errno value, in the locale's language.
std::string systemReason(int error);

}  // namespace tavro
