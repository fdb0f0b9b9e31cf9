#pragma once

#include <cstddef>
#include <functional>
#include <optional>

namespace tavro::testkit {

// The most heap memory `work` holds at any one moment, in bytes, counted
// from the allocator's own sizes. Only a build under AddressSanitizer can
// count it; elsewhere the result is empty and a test should skip.
std::optional<std::size_t> peakHeapOf(const std::function<void()>& work);

}  // namespace tavro::testkit
