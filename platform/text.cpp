#include "platform/text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>

namespace lumvex {

int FieldInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  return static_cast<int>(v);
}

bool FieldDouble(std::string_view text, size_t& pos, double& out) {
  size_t i = pos;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  // from_chars takes neither white space nor a '+' sign; strtod takes both.
  if (i < text.size() && text[i] == '+') {
    if (i + 1 < text.size() && text[i + 1] == '-') return false;
    ++i;
  }
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  double v = 0;
  auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // strtod gives +-HUGE_VAL or 0 here; the consumers only need a finite,
    // recognisable value, so keep what from_chars parsed as far as it went.
    ec = std::errc();
  }
  if (ec != std::errc() || ptr == first) return false;
  out = v;
  pos = static_cast<size_t>(ptr - text.data());
  return true;
}

void ReadNumberList(std::string_view text, double* out, int n) {
  size_t pos = 0;
  for (int k = 0; k < n; ++k) {
    double v = 0;
    if (pos < text.size() && !FieldDouble(text, pos, v)) v = 0;
    out[k] = v;
    if (pos < text.size()) ++pos;  // the separator after the number
  }
}

std::string CleanTestComment(std::string_view text) {
  std::string out(text.size() > kTestCommentMax ? text.substr(0, kTestCommentMax - 1) : text);
  std::replace(out.begin(), out.end(), ',', '_');
  return out;
}

}  // namespace lumvex
