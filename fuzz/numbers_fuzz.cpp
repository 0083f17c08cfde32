// Fuzz target, differential: the numbers of any text read by TextFileIn as
// "%f,", "%f" and "%d," must be, one by one and bit for bit, what the C
// library's fscanf reads from the same bytes, and reading must stop at the
// same number. The first byte picks the format and the buffer size (small
// buffers put numbers across block boundaries).
#include "files/textin.h"
#include "fuzz/fuzz_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumvex;
  if (!data || size < 1) return 0;
  const int format = data[0] % 3;                            // 0 "%f,", 1 "%f", 2 "%d,"
  const size_t buffer = size_t{64} << ((data[0] >> 4) & 7);  // 64 bytes to 8 KiB
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  static const std::string path = [] {
    // On tmpfs where there is one: a file is written for every input.
    char shm[] = "/dev/shm/lumvex-fuzz-numbers-XXXXXX";
    char tmp[] = "/tmp/lumvex-fuzz-numbers-XXXXXX";
    const char* made = mkdtemp(shm);
    if (!made) made = mkdtemp(tmp);
    FUZZ_CHECK(made != nullptr);
    static std::string dir;
    dir = made;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
    return dir + "/n.txt";
  }();
  {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(out != nullptr);
    FUZZ_CHECK(std::fwrite(text.data(), 1, text.size(), out) == text.size());
    FUZZ_CHECK(std::fclose(out) == 0);
  }
  constexpr size_t kMax = 4096;

  std::vector<float> want;
  std::vector<uint16_t> wantWords;
  std::FILE* f = fmemopen(const_cast<char*>(text.empty() ? "" : text.data()), text.size(), "r");
  FUZZ_CHECK(f != nullptr || text.empty());
  if (f) {
    float v;
    int w;
    while (want.size() + wantWords.size() < kMax) {
      if (format == 2) {
        if (std::fscanf(f, "%d,", &w) != 1) break;
        wantWords.push_back(static_cast<uint16_t>(w));
      } else {
        if (std::fscanf(f, format == 0 ? "%f," : "%f", &v) != 1) break;
        want.push_back(v);
      }
    }
    std::fclose(f);
  }

  TextFileIn in(buffer);
  FUZZ_CHECK(in.open(path));
  if (format == 2) {
    std::vector<uint16_t> got(kMax);
    const size_t n = in.readWords(got.data(), wantWords.size() < kMax ? kMax : wantWords.size());
    FUZZ_CHECK(n == wantWords.size());
    FUZZ_CHECK(n == 0 || std::memcmp(got.data(), wantWords.data(), n * 2) == 0);
  } else {
    std::vector<float> got(kMax);
    const size_t n = in.readFloats(got.data(), want.size() < kMax ? kMax : want.size(), 1, format == 0);
    FUZZ_CHECK(n == want.size());
    FUZZ_CHECK(n == 0 || std::memcmp(got.data(), want.data(), n * 4) == 0);
  }
  return 0;
}
