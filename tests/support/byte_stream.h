// Byte streams compared without printing megabytes: on a mismatch the message
// says where the two part and shows a little of each from there.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace lumvex::testing {

inline ::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return ::testing::AssertionFailure()
         << "streams differ at byte " << i << " of " << got.size() << " (want " << want.size() << "): got \""
         << got.substr(i, 40) << "\" want \"" << want.substr(i, 40) << "\"";
}

}  // namespace lumvex::testing
