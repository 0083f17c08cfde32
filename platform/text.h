// Text helpers of the station: reading reply fields and number lists as the
// unit's C texts are read (atoi / strtod rules, never past the end of the
// text), and the test comment as the unit takes it.
#pragma once

#include <string>
#include <string_view>

namespace lumvex {

// The leading decimal integer of a text as C's atoi reads it (white space,
// sign, digits; 0 when there is none). Saturates instead of overflowing.
int FieldInt(std::string_view text);
// A decimal floating-point number at `pos` as strtod reads it (leading white
// space, sign, fraction, exponent). On success advances pos past it.
bool FieldDouble(std::string_view text, size_t& pos, double& out);
// Reads n numbers from a list in which every number is followed by exactly one
// separator character. A value that cannot be read is 0; the reading never
// goes past the end of the text.
void ReadNumberList(std::string_view text, double* out, int n);

inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

constexpr size_t kTestCommentMax = 80;  // a longer comment is cut to kTestCommentMax - 1

// The test comment as it is sent: more than 80 characters are cut to 79,
// every ',' becomes '_'.
std::string CleanTestComment(std::string_view text);

}  // namespace lumvex
