// The INI text store: what a file read makes of comments, quotes, byte-order
// marks, continuation pieces and letter case; the integer and text look-up
// rules; and the writer, which must leave the destination untouched whenever
// any step of writing fails.
#include "core/ini.h"

#include "support/testing.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

using namespace lumvex;
using lumvex::testing::readFile;
using lumvex::testing::TempDir;
using lumvex::testing::writeFile;

namespace {

IniHandle readText(const TempDir& dir, std::string_view text, int* rc = nullptr, int autoSort = 1) {
  writeFile(dir.file("t.ini"), text);
  IniHandle ini = Ini_New(autoSort);
  int r = Ini_ReadFromFile(*ini, dir.file("t.ini"));
  if (rc) *rc = r;
  return ini;
}

std::string getString(const IniText& ini, std::string_view s, std::string_view t, int size = 256) {
  std::string buf(static_cast<size_t>(size), 'x');
  Ini_GetStringIntoBuffer(ini, s, t, buf.data(), size);
  return std::string(buf.c_str());
}

}  // namespace

TEST(IniRead, SectionsAndTagsMatchWithoutRegardToCase) {
  TempDir d;
  IniHandle ini = readText(d, "[error limits]\nxerror = 5\n[B]\nY=2\n");
  int v = 0;
  EXPECT_EQ(Ini_GetInt(*ini, "Error Limits", "Xerror", &v), 1);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(Ini_GetInt(*ini, "b", "y", &v), 1);
  EXPECT_EQ(v, 2);
}

TEST(IniRead, IntegerRulesBlankIsMissingAndFractionsAreErrors) {
  TempDir d;
  IniHandle ini = readText(d,
                           "[Error Limits]\nXerror = 1.5\nYerror =   \nZerror = -50\nBig = 99999999999\n"
                           "Plus = +7\nTail = 12abc\nPlusMinus = +-3\nQuoted = \"42\"\n");
  int v = 77;
  EXPECT_LT(Ini_GetInt(*ini, "Error Limits", "Xerror", &v), 0);
  EXPECT_EQ(Ini_GetInt(*ini, "Error Limits", "Yerror", &v), 0);
  EXPECT_EQ(v, 77);  // a blank value stores nothing
  EXPECT_EQ(Ini_GetInt(*ini, "Error Limits", "Zerror", &v), 1);
  EXPECT_EQ(v, -50);
  EXPECT_LT(Ini_GetInt(*ini, "Error Limits", "Big", &v), 0);
  EXPECT_EQ(Ini_GetInt(*ini, "Error Limits", "Plus", &v), 1);
  EXPECT_EQ(v, 7);
  EXPECT_LT(Ini_GetInt(*ini, "Error Limits", "Tail", &v), 0);
  EXPECT_LT(Ini_GetInt(*ini, "Error Limits", "PlusMinus", &v), 0);
  EXPECT_EQ(Ini_GetInt(*ini, "Error Limits", "Quoted", &v), 1);
  EXPECT_EQ(v, 42);
  EXPECT_EQ(Ini_GetInt(*ini, "Error Limits", "Missing", &v), 0);
  EXPECT_EQ(Ini_GetInt(*ini, "No Section", "Xerror", &v), 0);
}

TEST(IniRead, StringsLoseTheirQuotesAndAreCutToTheBuffer) {
  TempDir d;
  IniHandle ini = readText(d, "[S]\nName = \"  padded  \"\nPlain =  text with  blanks  \nOne = \"\n");
  EXPECT_EQ(getString(*ini, "S", "Name"), "  padded  ");
  EXPECT_EQ(getString(*ini, "S", "Plain"), "text with  blanks");
  EXPECT_EQ(getString(*ini, "S", "One"), "\"");  // a lone quote is no pair of quotes
  EXPECT_EQ(getString(*ini, "S", "Plain", 5), "text");
  char buf[4] = "abc";
  EXPECT_EQ(Ini_GetStringIntoBuffer(*ini, "S", "Nothing", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_LT(Ini_GetStringIntoBuffer(*ini, "S", "Name", buf, 0), 0);
}

TEST(IniRead, LinesOutsideTheGrammarAreNotItems) {
  TempDir d;
  IniHandle ini = readText(d,
                           "Before = 1\n[S] trailing\nInHeaderLess = 2\n  [ Real ]  \r\n   Tag   =   v  \r\n"
                           "no equals sign\n = empty tag\n[Real]\nSecond = 3\n");
  EXPECT_EQ(ini->sections.size(), 1u);  // "[S] trailing" opens nothing; [Real] twice is one section
  EXPECT_EQ(getString(*ini, "Real", "Tag"), "v");
  EXPECT_EQ(getString(*ini, "Real", "Second"), "3");
  EXPECT_EQ(getString(*ini, "S", "InHeaderLess"), "");
  EXPECT_EQ(ini->sections[0].items.size(), 2u);
}

TEST(IniRead, ByteOrderMarks) {
  TempDir d;
  int rc = 1;
  IniHandle ini = readText(d, "\xEF\xBB\xBF[S]\nA = 1\n", &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(getString(*ini, "S", "A"), "1");
  readText(d, std::string("\xFF\xFE[\0S\0]\0", 8), &rc);
  EXPECT_EQ(rc, kIniBadEncoding);
  readText(d, std::string("\xFE\xFF\0[\0S\0]", 8), &rc);
  EXPECT_EQ(rc, kIniBadEncoding);
}

TEST(IniRead, MissingFileAndFolderAreErrors) {
  TempDir d;
  IniHandle ini = Ini_New(1);
  EXPECT_EQ(Ini_ReadFromFile(*ini, d.file("none.ini")), kIniFileNotFound);
  EXPECT_LT(Ini_ReadFromFile(*ini, d.path()), 0);  // a folder is no file
}

TEST(IniRead, CommentsAttachToTheNextSectionOrItemAndTrailCommentsStay) {
  TempDir d;
  IniHandle ini = readText(d, "; head\n[S]\n; about A\n  ;indented\nA = 1\n; end\n");
  ASSERT_EQ(ini->sections.size(), 1u);
  EXPECT_EQ(ini->sections[0].comments, std::vector<std::string>{"; head"});
  EXPECT_EQ(ini->sections[0].items[0].comments, (std::vector<std::string>{"; about A", ";indented"}));
  EXPECT_EQ(ini->trailingComments, std::vector<std::string>{"; end"});
}

TEST(IniRead, AnOverlongLineIsCutAndItsRestIsNoLine) {
  TempDir d;
  // The second "line" here is inside the first one, past the limit.
  std::string text = "[S]\nA = " + std::string(kIniMaxLineBytes, 'v') + "B = injected\nC = 3\n";
  IniHandle ini = readText(d, text);
  EXPECT_EQ(getString(*ini, "S", "A", 4096).size(), kIniMaxLineBytes - 4);
  EXPECT_EQ(getString(*ini, "S", "B"), "");
  EXPECT_EQ(getString(*ini, "S", "C"), "3");
}

TEST(IniRead, ContinuationPiecesJoinInCounterOrder) {
  TempDir d;
  IniHandle ini = readText(d,
                           "[S]\nLong Line0002 = def\nLong Line0001 = abc\nLong Line0003 = ghi\n"
                           "Gap Line0001 = one\nGap Line0003 = three\n"
                           "Q Line0001 = \"a \"\nQ Line0002 = \" b\"\n");
  EXPECT_EQ(getString(*ini, "S", "Long"), "abcdefghi");
  EXPECT_EQ(getString(*ini, "S", "Long Line0002"), "");  // the pieces are gone
  EXPECT_EQ(getString(*ini, "S", "Gap"), "one");         // joining stops at a missing counter
  EXPECT_EQ(getString(*ini, "S", "Gap Line0003"), "three");
  EXPECT_EQ(getString(*ini, "S", "Q"), "a  b");  // quoted pieces keep their blanks
}

// Only a tag and " Line" make a piece: with more blanks before "Line" the
// item stays as it was read, and a rewrite reads back the same.
TEST(IniRead, ABlankBeforeLineMakesNoPiece) {
  TempDir d;
  IniHandle ini = readText(d, "[S]\ny  Line0001 = abc\ny  Line0002 = def\nz\tLine0001 = ghi\n");
  EXPECT_EQ(getString(*ini, "S", "y  Line0001"), "abc");
  EXPECT_EQ(getString(*ini, "S", "y  Line0002"), "def");
  EXPECT_EQ(getString(*ini, "S", "z\tLine0001"), "ghi");
  EXPECT_EQ(getString(*ini, "S", "y"), "");
  const std::string once = Ini_FormatText(*ini);
  IniHandle again = Ini_New(1);
  ASSERT_EQ(Ini_ReadFromText(*again, once), 0);
  EXPECT_EQ(Ini_FormatText(*again), once);
}

TEST(IniRead, SortedLookupsFindEverySectionAndItem) {
  TempDir d;
  std::string text;
  for (int s = 40; s > 0; --s) {
    text += "[Sec" + std::to_string(s * 7 % 41) + "]\n";
    for (int t = 30; t > 0; --t)
      text += "tag" + std::to_string(t * 11 % 31) + " = " + std::to_string(s * 100 + t) + "\n";
  }
  IniHandle ini = readText(d, text);
  for (int s = 40; s > 0; --s)
    for (int t = 30; t > 0; --t) {
      int v = 0;
      ASSERT_EQ(Ini_GetInt(*ini, "SEC" + std::to_string(s * 7 % 41), "TAG" + std::to_string(t * 11 % 31), &v),
                1);
      EXPECT_EQ(v, s * 100 + t);
    }
}

TEST(IniWrite, RewritingKeepsCommentsAndSortsAlphabetically) {
  TempDir d;
  IniHandle ini =
      readText(d, "; zeta first\n[Zeta]\nb = 2\n; about a\na = 1\n[alpha]\nc = \"x y\"\n; last\n");
  ASSERT_EQ(Ini_WriteToFile(*ini, d.file("out.ini")), 0);
  EXPECT_EQ(readFile(d.file("out.ini")),
            "[alpha]\r\nc = \"x y\"\r\n\r\n; zeta first\r\n[Zeta]\r\n; about a\r\na = 1\r\nb = 2\r\n\r\n; "
            "last\r\n");
  EXPECT_FALSE(std::filesystem::exists(d.file(kIniTempFileName)));
}

TEST(IniWrite, ATagWrittenTwiceKeepsTheValueTheLookupsSaw) {
  TempDir d;
  // The second "Text" is long: written in pieces beside the first, it used to
  // read back as pieces of a different item.
  std::string twice = "[S]\n; first\nText = short\n; second\nTEXT = " + std::string(100, 'a') + "\nz = 1\n";
  for (int sorted : {1, 0}) {
    IniHandle ini = readText(d, twice, nullptr, sorted);
    EXPECT_EQ(getString(*ini, "S", "text"), "short");
    EXPECT_EQ(Ini_FormatText(*ini), "[S]\r\n; first\r\n; second\r\nText = short\r\nz = 1\r\n\r\n");
    IniHandle back = Ini_New(sorted);
    ASSERT_EQ(Ini_ReadFromText(*back, Ini_FormatText(*ini)), 0);
    EXPECT_EQ(Ini_FormatText(*back), Ini_FormatText(*ini));
  }
}

TEST(IniWrite, UnsortedStoreKeepsFileOrder) {
  TempDir d;
  IniHandle ini = readText(d, "[Z]\nb = 2\na = 1\n[A]\nc = 3\n", nullptr, 0);
  EXPECT_EQ(Ini_FormatText(*ini), "[Z]\r\nb = 2\r\na = 1\r\n\r\n[A]\r\nc = 3\r\n\r\n");
  int v = 0;
  EXPECT_EQ(Ini_GetInt(*ini, "a", "C", &v), 1);
}

TEST(IniWrite, PutCreatesAndReplacesInOrder) {
  IniHandle ini = Ini_New(1);
  ASSERT_TRUE(ini);
  EXPECT_EQ(Ini_PutInt(*ini, "Error Limits", "Yerror", 4), 0);
  EXPECT_EQ(Ini_PutInt(*ini, "Error Limits", "Xerror", -3), 0);
  EXPECT_EQ(Ini_PutString(*ini, "MultipleNICs", "NIC To Use", "10.0.0.7"), 0);
  EXPECT_EQ(Ini_PutInt(*ini, "error limits", "YERROR", 9), 0);  // replaces, keeps the first spelling
  EXPECT_EQ(Ini_FormatText(*ini),
            "[Error Limits]\r\nXerror = -3\r\nYerror = 9\r\n\r\n[MultipleNICs]\r\nNIC To Use = "
            "\"10.0.0.7\"\r\n\r\n");
  EXPECT_EQ(Ini_PutString(*ini, "S", "T", "two\nlines"), kIniInvalidArgument);
  EXPECT_EQ(Ini_PutInt(*ini, "", "T", 1), kIniInvalidArgument);
  EXPECT_EQ(Ini_PutInt(*ini, "S", "a=b", 1), kIniInvalidArgument);
  Ini_Dispose(ini);
  EXPECT_FALSE(ini);
}

TEST(IniWrite, LongValuesAreWrittenInPiecesAndReadBackWhole) {
  TempDir d;
  IniHandle ini = Ini_New(1);
  std::string plain(200, 'p');
  std::string quoted = std::string(79, 'q') + "  " + std::string(90, 'r');  // blanks at the first cut
  std::string blankCut = std::string(80, 'b') + " c";                       // unquoted, a blank at the cut
  std::string exact(80, 'e');
  ASSERT_EQ(Ini_PutString(*ini, "S", "Quoted", quoted), 0);
  ASSERT_EQ(Ini_PutString(*ini, "S", "Exact", exact), 0);
  ini->sections[0].items.push_back({"Plain", plain, false, {}});
  ini->sections[0].items.push_back({"Zblank", blankCut, false, {}});
  ASSERT_EQ(Ini_WriteToFile(*ini, d.file("long.ini")), 0);
  std::string text = readFile(d.file("long.ini"));
  EXPECT_NE(text.find("Plain Line0001 = " + std::string(80, 'p') + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("Plain Line0003 = " + std::string(40, 'p') + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("Exact = \"" + exact + "\"\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Plain ="), std::string::npos);

  IniHandle back = Ini_New(1);
  ASSERT_EQ(Ini_ReadFromFile(*back, d.file("long.ini")), 0);
  EXPECT_EQ(getString(*back, "S", "Plain", 1024), plain);
  EXPECT_EQ(getString(*back, "S", "Quoted", 1024), quoted);
  EXPECT_EQ(getString(*back, "S", "Zblank", 1024), blankCut);
  EXPECT_EQ(getString(*back, "S", "Exact", 1024), exact);
}

namespace {

// Failure injection: each fake fails one step with the errno of the test.
int gErrno = 0;
int gCreates = 0;
int gWrites = 0;
int failWritable(const char*) {
  errno = gErrno;
  return -1;
}
int countingCreate(const char* p) {
  ++gCreates;
  return Ini_SystemFileOps().create(p);
}
int failCreate(const char*) {
  errno = gErrno;
  return -1;
}
long failAfterSomeBytes(int fd, const void* data, size_t n) {
  // The first write goes through in part, so a half-written temporary exists.
  if (++gWrites == 1) return Ini_SystemFileOps().write(fd, data, n / 2);
  errno = gErrno;
  return -1;
}
int failClose(int fd) {
  Ini_SystemFileOps().close(fd);
  errno = gErrno;
  return -1;
}

struct WriteFailure : ::testing::Test {
  TempDir d;
  IniHandle ini = Ini_New(1);
  std::string dest = d.file("dest.ini");
  void SetUp() override {
    writeFile(dest, "[Old]\r\nkept = 1\r\n");
    Ini_PutString(*ini, "New", "Value", std::string(3000, 'n'));
  }
  void expectUntouched() {
    EXPECT_EQ(readFile(dest), "[Old]\r\nkept = 1\r\n");
    EXPECT_FALSE(std::filesystem::exists(d.file(kIniTempFileName)));
  }
};

}  // namespace

TEST_F(WriteFailure, DiskFullDuringTheWrite) {
  IniFileOps ops = Ini_SystemFileOps();
  ops.write = failAfterSomeBytes;
  gErrno = ENOSPC;
  gWrites = 0;
  EXPECT_EQ(Ini_WriteToFile(*ini, dest, ops), kIniDiskFull);
  expectUntouched();
}

TEST_F(WriteFailure, EachErrorHasItsOwnCode) {
  IniFileOps ops = Ini_SystemFileOps();
  ops.create = failCreate;
  const std::pair<int, int> cases[] = {{EACCES, kIniAccessDenied}, {EROFS, kIniAccessDenied},
                                       {ENOMEM, kIniOutOfMemory},  {ENOSPC, kIniDiskFull},
                                       {EDQUOT, kIniDiskFull},     {EIO, kIniIoError}};
  for (auto [e, code] : cases) {
    gErrno = e;
    EXPECT_EQ(Ini_WriteToFile(*ini, dest, ops), code) << "errno " << e;
  }
  expectUntouched();
}

TEST_F(WriteFailure, FlushFailureLeavesTheDestination) {
  IniFileOps ops = Ini_SystemFileOps();
  ops.close = failClose;
  gErrno = EIO;
  EXPECT_EQ(Ini_WriteToFile(*ini, dest, ops), kIniIoError);
  expectUntouched();
}

TEST_F(WriteFailure, NotWritableIsReportedBeforeAnythingIsWritten) {
  IniFileOps ops = Ini_SystemFileOps();
  ops.writable = failWritable;
  ops.create = countingCreate;
  gErrno = EACCES;
  gCreates = 0;
  EXPECT_EQ(Ini_WriteToFile(*ini, dest, ops), kIniAccessDenied);
  EXPECT_EQ(gCreates, 0);
  expectUntouched();
}

// Root writes into any folder, so as root the write runs in a child that has
// become an unprivileged user owning the folder, as an operator would.
TEST_F(WriteFailure, ReadOnlyFolder) {
  const bool root = geteuid() == 0;
  constexpr uid_t kNobody = 65534;
  if (root) {
    ASSERT_EQ(chown(d.path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chown(dest.c_str(), kNobody, kNobody), 0);
  }
  std::filesystem::permissions(d.path(),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  int rc = 1;
  if (root) {
    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(100);
      _exit(-Ini_WriteToFile(*ini, dest));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 100) << "could not become an unprivileged user";
    rc = -WEXITSTATUS(status);
  } else {
    rc = Ini_WriteToFile(*ini, dest);
  }
  std::filesystem::permissions(d.path(), std::filesystem::perms::owner_all);
  EXPECT_EQ(rc, kIniAccessDenied);
  expectUntouched();
}

TEST_F(WriteFailure, MissingFolderOrFolderAsDestination) {
  EXPECT_EQ(Ini_WriteToFile(*ini, d.file("no/such/dir/x.ini")), kIniIoError);
  EXPECT_FALSE(std::filesystem::exists(d.file("no")));
  EXPECT_EQ(Ini_WriteToFile(*ini, d.path()), kIniIoError);
  expectUntouched();
}

TEST_F(WriteFailure, SuccessReplacesTheOldFile) {
  ASSERT_EQ(Ini_WriteToFile(*ini, dest), 0);
  IniHandle back = Ini_New(1);
  ASSERT_EQ(Ini_ReadFromFile(*back, dest), 0);
  EXPECT_EQ(getString(*back, "New", "Value", 4096), std::string(3000, 'n'));
  EXPECT_EQ(getString(*back, "Old", "kept"), "");
  EXPECT_FALSE(std::filesystem::exists(d.file(kIniTempFileName)));
}
