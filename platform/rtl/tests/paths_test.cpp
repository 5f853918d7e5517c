// File names: the text rules of program names and their case-insensitive
// resolution to paths on disk.
#include "platform/rtl/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/rtl/system.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"

namespace {

TEST(Paths, NamePartsComeFromTheLastComponent) {
  struct Case {
    const char* name;
    const char* path;
    const char* dir;
    const char* file;
    const char* ext;
    const char* changed;  // ChangeFileExt(name, ".cdx")
  } cases[] = {
      {"C:\\data\\pla0001.dbf", "C:\\data\\", "C:\\data", "pla0001.dbf", ".dbf", "C:\\data\\pla0001.cdx"},
      {"/srv/data.v2/pla0001", "/srv/data.v2/", "/srv/data.v2", "pla0001", "", "/srv/data.v2/pla0001.cdx"},
      {"archive.tar.gz", "", "", "archive.tar.gz", ".gz", "archive.tar.cdx"},
      {"C:x.dbf", "C:", "C:", "x.dbf", ".dbf", "C:x.cdx"},
      {"C:\\", "C:\\", "C:\\", "", "", "C:\\.cdx"},
      {"/", "/", "/", "", "", "/.cdx"},
      {"dir/sub\\file.", "dir/sub\\", "dir/sub", "file.", ".", "dir/sub\\file.cdx"},
      {"", "", "", "", "", ".cdx"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
    EXPECT_EQ(ExtractFileDir(c.name), c.dir) << c.name;
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
    EXPECT_EQ(ChangeFileExt(c.name, ".cdx"), c.changed) << c.name;
  }
  EXPECT_EQ(IncludeTrailingPathDelimiter("/data"), "/data/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\data\\"), "C:\\data\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\data\\"), "C:\\data");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
}

TEST(Paths, FullNamesAreNormalisedInProgramForm) {
  AnsiString cwd = GetCurrentDir();
  struct Case {
    std::string name;
    std::string full;
    bool isFull;
  } cases[] = {
      {"C:\\data\\..\\pla0001.dbf", "C:/pla0001.dbf", true},
      {"c:", "c:/", true},
      {"\\\\server\\share\\a.dbf", "//server/share/a.dbf", true},
      {"/a/./b//c/", "/a/b/c/", true},
      {"/../..", "/", true},
      {"\\data\\x.dbf", "/data/x.dbf", true},
      {"rel\\x.dbf", cwd + "/rel/x.dbf", false},
      {"./x.dbf", cwd + "/x.dbf", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExpandFileName(c.name), c.full) << c.name;
    EXPECT_EQ(IsFullFileName(c.name), c.isFull) << c.name;
  }
}

TEST(Paths, LookupIgnoresCaseOfCzechLettersInEveryComponent) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.File("Účetnictví").c_str(), 0755), 0);
  dir.Write("Účetnictví/Pokladní.dbf", "x");
  std::string expected = dir.File("Účetnictví/Pokladní.dbf");
  for (const char* spelled : {"ÚČETNICTVÍ\\POKLADNÍ.DBF", "účetnictví/pokladní.dbf", "Účetnictví/Pokladní.dbf"}) {
    std::optional<std::string> path = ExistingDiskPath(dir.Path() + Cz(spelled));
    ASSERT_TRUE(path) << spelled;
    EXPECT_EQ(*path, expected) << spelled;
  }
  EXPECT_FALSE(ExistingDiskPath(dir.Path() + Cz("UCETNICTVI/POKLADNI.DBF")));  // accents count
  EXPECT_TRUE(FileExists(dir.Path() + Cz("účetnictví\\POKLADNÍ.dbf")));
  EXPECT_TRUE(DirectoryExists(dir.Path() + Cz("ÚČETNICTVÍ")));
  EXPECT_FALSE(FileExists(dir.Path() + Cz("ÚČETNICTVÍ")));
}

TEST(Paths, ExactSpellingWinsThenTheFirstMatchInByteOrder) {
  TempDir dir;
  dir.Write("a.dbf", "lower");
  dir.Write("A.dbf", "mixed");
  dir.Write("A.DBF", "upper");
  struct Case {
    const char* name;
    const char* found;
  } cases[] = {{"a.dbf", "a.dbf"}, {"A.dbf", "A.dbf"}, {"A.DBF", "A.DBF"}, {"a.DBF", "A.DBF"}, {"a.Dbf", "A.DBF"}};
  for (const Case& c : cases) {
    std::optional<std::string> path = ExistingDiskPath(dir.File(c.name));
    ASSERT_TRUE(path) << c.name;
    EXPECT_EQ(*path, dir.File(c.found)) << c.name;
  }
}

TEST(Paths, NamesThatAreNotUtf8CompareAsRawBytes) {
  TempDir dir;
  const std::string raw = "x\xE8.dbf";  // a CP1250 name written by an old program
  dir.Write(raw, "legacy");
  std::optional<std::string> path = ExistingDiskPath(dir.File("X\xC8.DBF"));
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, dir.File(raw));
  EXPECT_EQ(DiskPathToProgramName(raw), raw);
  EXPECT_EQ(DiskPathToProgramName("/data/Účty"), "/data/" + Cz("Účty"));
}

TEST(Paths, CreationReusesACaseVariantOrKeepsTheGivenSpelling) {
  TempDir dir;
  dir.Write("pla0001.dbf", "");
  ASSERT_EQ(mkdir(dir.File("Data").c_str(), 0755), 0);
  struct Case {
    std::string name;
    std::optional<std::string> path;
  } cases[] = {
      {dir.Path() + "PLA0001.DBF", dir.File("pla0001.dbf")},
      {dir.Path() + "DATA\\Cis0001.DBF", dir.File("Data/Cis0001.DBF")},
      {dir.Path() + Cz("Nový.dbf"), dir.File("Nový.dbf")},
      {dir.Path() + "missing\\x.dbf", std::nullopt},
      {dir.Path() + "pla0001.dbf/x.dbf", std::nullopt},  // a file is no directory
  };
  for (const Case& c : cases) EXPECT_EQ(DiskPathForCreate(c.name), c.path) << c.name;
}

TEST(Paths, DriveLettersNeedTheirEnvironmentVariable) {
  TempDir dir;
  dir.Write("vla0000.dbf", "");
  const char* old = std::getenv("DRIVE_K");
  std::string saved = old ? old : "";
  unsetenv("DRIVE_K");
  EXPECT_FALSE(ExistingDiskPath("K:\\VLA0000.DBF"));
  EXPECT_FALSE(DiskPathForCreate("K:\\new.dbf"));
  EXPECT_FALSE(ForceDirectories("K:\\a\\b"));
  setenv("DRIVE_K", dir.Path().c_str(), 1);
  EXPECT_EQ(ExistingDiskPath("k:\\VLA0000.DBF"), dir.File("vla0000.dbf"));
  EXPECT_EQ(ExpandFileName("K:\\x\\..\\VLA0000.DBF"), "K:/VLA0000.DBF");
  EXPECT_TRUE(ForceDirectories("K:\\a\\b"));
  EXPECT_TRUE(DirectoryExists(dir.File("a/b")));
  if (old)
    setenv("DRIVE_K", saved.c_str(), 1);
  else
    unsetenv("DRIVE_K");
}

TEST(Paths, DirectoriesAndDeletion) {
  TempDir dir;
  EXPECT_TRUE(ForceDirectories(dir.Path() + "One\\Two\\Three\\"));
  EXPECT_TRUE(DirectoryExists(dir.Path() + "one/two/three"));
  EXPECT_TRUE(ForceDirectories(dir.Path() + "ONE/TWO"));  // already there
  EXPECT_FALSE(CreateDir(dir.Path() + "one"));
  EXPECT_TRUE(CreateDir(dir.Path() + "ONE\\four"));
  EXPECT_TRUE(DirectoryExists(dir.File("One/four")));
  dir.Write("One/t.dbf", "x");
  EXPECT_FALSE(DeleteFile(dir.Path() + "one/two"));  // directories are not files
  EXPECT_FALSE(DeleteFile(dir.Path() + "one/missing.dbf"));
  EXPECT_TRUE(DeleteFile(dir.Path() + "ONE\\T.DBF"));
  EXPECT_FALSE(FileExists(dir.Path() + "one/t.dbf"));
}

TEST(PathsMalformed, RandomNamesExpandToCleanFullNames) {
  std::vector<std::string> seeds = {"C:\\data\\..\\x.dbf", "\\\\srv\\share\\.\\a", "rel/../../x", "/a//b/./c/",
                                    "Q:", "..\\..", "a.b.c\\d"};
  RunRandomInputs(seeds, [](const std::string& name) {
    AnsiString full = ExpandFileName(name);
    if (name.empty()) return;
    ASSERT_TRUE(IsFullFileName(full)) << full;
    std::string_view body = full;
    if (body.size() >= 2 && body[1] == ':') body.remove_prefix(2);
    if (body.substr(0, 2) == "//") body.remove_prefix(2);
    ASSERT_EQ(full.find('\\'), std::string::npos) << full;
    ASSERT_EQ(std::string(body).find("//"), std::string::npos) << full;
    std::string padded = std::string(body) + "/";
    ASSERT_EQ(padded.find("/./"), std::string::npos) << full;
    ASSERT_EQ(padded.find("/../"), std::string::npos) << full;
    ASSERT_EQ(ExpandFileName(full), full);
    // The parts always put the name back together.
    ASSERT_EQ(ExtractFilePath(name) + ExtractFileName(name), name);
    AnsiString ext = ExtractFileExt(name);
    ASSERT_EQ(ChangeFileExt(name, ext), name);
  });
}

}  // namespace
