// Settings files: lookup rules, writes that change only their own lines,
// atomic replacement and hostile file contents.
#include "platform/rtl/inifiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"
#include "testing/child_process.h"
#include "testing/random_input.h"
#include "testing/temp_dir.h"

namespace {

std::vector<AnsiString> Items(const TStrings& list) {
  std::vector<AnsiString> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

const char kPlatebna[] =
    "; settings of the cash journal\r\n"
    "[Platebna]\r\n"
    "Prodejna = 0001\r\n"
    "CestaData=\"C:\\data\\ \"\r\n"
    "KodMeny='K\xE8'\r\n"
    "\r\n"
    "[Other program]\r\n"
    "x=1\r\n";

TEST(IniFile, LookupRulesOfProfileFiles) {
  TempDir dir;
  dir.Write("t.ini",
            "[Platebna]\r\n"
            "  Prodejna  =  0002  \r\n"
            "prodejna=0003\r\n"
            ";HlavniTiskarna=9\r\n"
            "Quoted=\"a\"\"\r\n"
            "Mixed='a\"\r\n"
            "Single='  padded  '\r\n"
            "Inline=1 ; not a comment\r\n"
            "NoValue=\r\n"
            "[\xDA\xE8ty]\r\n"  // [Účty]
            "\xC8\xEDslo=7\r\n"  // Číslo
            "[platebna]\r\n"
            "Later=ignored\r\n");
  TIniFile ini(dir.File("t.ini"));
  struct Case {
    AnsiString section, key, expected;
  } cases[] = {
      {"Platebna", "Prodejna", "0002"},  // trimmed, and the first match wins
      {"PLATEBNA", "PRODEJNA", "0002"},
      {"Platebna", "HlavniTiskarna", "default"},
      {"Platebna", "Quoted", "a\""},
      {"Platebna", "Mixed", "'a\""},
      {"Platebna", "Single", "  padded  "},
      {"Platebna", "Inline", "1 ; not a comment"},
      {"Platebna", "NoValue", ""},
      {"Platebna", "Later", "default"},  // a second section of the name is not read
      {Cz("ÚČTY"), Cz("čÍSLO"), "7"},
      {"Missing", "Prodejna", "default"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadString(c.section, c.key, "default"), c.expected) << c.section << "/" << c.key;
  EXPECT_TRUE(ini.ValueExists("platebna", "novalue"));
  EXPECT_FALSE(ini.ValueExists("Platebna", "HlavniTiskarna"));
  EXPECT_TRUE(ini.SectionExists(Cz("účty")));
  EXPECT_FALSE(ini.SectionExists("Alias"));
  TStringList list;
  ini.ReadSections(list);
  EXPECT_EQ(Items(list), (std::vector<AnsiString>{"Platebna", "\xDA\xE8ty"}));
  ini.ReadSection("Platebna", list);
  EXPECT_EQ(Items(list), (std::vector<AnsiString>{"Prodejna", "prodejna", "Quoted", "Mixed", "Single",
                                                  "Inline", "NoValue"}));
  ini.ReadSectionValues(Cz("Účty"), list);
  EXPECT_EQ(Items(list), (std::vector<AnsiString>{"\xC8\xEDslo=7"}));
}

TEST(IniFile, NumbersAndFlags) {
  TempDir dir;
  dir.Write("t.ini", "[W]\nT=120\nL= -5 \nH=$1F\nBad=12px\nEmpty=\nOn=1\nOff=0\nYes=yes\n");
  TIniFile ini(dir.File("t.ini"));
  struct Case {
    const char* key;
    int expected;
  } cases[] = {{"T", 120}, {"L", -5}, {"H", 31}, {"Bad", 50}, {"Empty", 50}, {"Missing", 50}};
  for (const Case& c : cases) EXPECT_EQ(ini.ReadInteger("W", c.key, 50), c.expected) << c.key;
  EXPECT_TRUE(ini.ReadBool("W", "On", false));
  EXPECT_FALSE(ini.ReadBool("W", "Off", true));
  EXPECT_TRUE(ini.ReadBool("W", "Yes", true));  // not a number: the default
  EXPECT_FALSE(ini.ReadBool("W", "Yes", false));
}

TEST(IniFile, WritesChangeOnlyTheirOwnLines) {
  TempDir dir;
  dir.Write("Platebna.ini", kPlatebna);
  TIniFile ini(dir.File("PLATEBNA.INI"));
  ini.WriteString("platebna", "KODMENY", "EUR");
  ini.WriteInteger("Platebna", "PlatebnaT", 120);
  ini.WriteBool("Nova", "Zapnuto", true);
  EXPECT_EQ(dir.Read("Platebna.ini"),
            "; settings of the cash journal\r\n"
            "[Platebna]\r\n"
            "Prodejna = 0001\r\n"
            "CestaData=\"C:\\data\\ \"\r\n"
            "KodMeny=EUR\r\n"
            "PlatebnaT=120\r\n"
            "\r\n"
            "[Other program]\r\n"
            "x=1\r\n"
            "[Nova]\r\n"
            "Zapnuto=1\r\n");
  EXPECT_EQ(ini.ReadString("Platebna", "CestaData", ""), "C:\\data\\ ");
  ini.DeleteKey("Platebna", "prodejna");
  ini.EraseSection("OTHER PROGRAM");
  EXPECT_EQ(dir.Read("Platebna.ini"),
            "; settings of the cash journal\r\n"
            "[Platebna]\r\n"
            "CestaData=\"C:\\data\\ \"\r\n"
            "KodMeny=EUR\r\n"
            "PlatebnaT=120\r\n"
            "\r\n"
            "[Nova]\r\n"
            "Zapnuto=1\r\n");
}

TEST(IniFile, LineEndStyleAndAMissingFinalLineEndAreKept) {
  TempDir dir;
  struct Case {
    const char* before;
    const char* after;
  } cases[] = {
      {"[A]\nk=1", "[A]\nk=1\nn=v\n"},
      {"[A]\rk=1\r", "[A]\rk=1\rn=v\r"},
      {"; only a comment", "; only a comment\r\n[A]\r\nn=v\r\n"},
      {"[B]\nx=\xE8\xF8\n\n[A]\n\n", "[B]\nx=\xE8\xF8\n\n[A]\nn=v\n\n"},
  };
  for (const Case& c : cases) {
    dir.Write("t.ini", c.before);
    TIniFile ini(dir.File("t.ini"));
    ini.WriteString("A", "n", "v");
    EXPECT_EQ(dir.Read("t.ini"), c.after) << c.before;
  }
}

TEST(IniFile, MissingFileGivesDefaultsAndTheFirstWriteCreatesIt) {
  TempDir dir;
  TIniFile ini(dir.File("new.ini"));
  EXPECT_EQ(ini.ReadString("Platebna", "Prodejna", "0001"), "0001");
  EXPECT_EQ(ini.ReadInteger("Platebna", "PlatebnaH", 365), 365);
  TStringList list;
  list.Add("stale");
  ini.ReadSections(list);
  EXPECT_EQ(list.Count(), 0);
  ini.EraseSection("Platebna");
  ini.DeleteKey("Platebna", "x");
  EXPECT_NE(access(dir.File("new.ini").c_str(), F_OK), 0);  // nothing to change, nothing written
  ini.WriteString("Platebna", "KodMeny", Cz("Kč"));
  EXPECT_EQ(dir.Read("new.ini"), "[Platebna]\r\nKodMeny=K\xE8\r\n");
}

TEST(IniFile, NamesWithoutADirectoryLiveInTheAliasDirectory) {
  TempDir dir;
  dir.Write("xbase.cfg", "[Alias]\r\nDATA=/srv/data\r\n");
  const char* old = std::getenv("XBASE_CFG_DIR");
  std::string saved = old ? old : "";
  setenv("XBASE_CFG_DIR", dir.Path().c_str(), 1);
  TIniFile ini("XBASE.CFG");
  EXPECT_EQ(ini.ReadString("alias", "data", ""), "/srv/data");
  if (old)
    setenv("XBASE_CFG_DIR", saved.c_str(), 1);
  else
    unsetenv("XBASE_CFG_DIR");
}

TEST(IniFileMalformed, EntriesThatWouldNotReadBackAreRefused) {
  TempDir dir;
  dir.Write("t.ini", kPlatebna);
  TIniFile ini(dir.File("t.ini"));
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"Platebna", "KodMeny", "x\r\n[Injected]\r\nk=v"},
      {"Platebna", "a=b", "v"},
      {"Platebna", "  ", "v"},
      {"Platebna", ";comment", "v"},
      {"Plate]bna", "k", "v"},
      {"Plate\nbna", "k", "v"},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(ini.WriteString(c.section, c.key, c.value), EIniFileError) << c.key;
    EXPECT_EQ(dir.Read("t.ini"), kPlatebna);
  }
  TIniFile nowhere(dir.File("missing/t.ini"));
  try {
    nowhere.WriteString("A", "k", "v");
    FAIL() << "wrote into a missing directory";
  } catch (const EIniFileError& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("missing/t.ini"));
  }
}

// A file that cannot be read gives defaults, and is never replaced by a
// file holding only the one entry written.
TEST(IniFileMultiprocess, AnUnreadableFileIsNeverReplaced) {
  TempDir dir;
  dir.Write("t.ini", kPlatebna);
  ASSERT_EQ(chmod(dir.File("t.ini").c_str(), 0222), 0);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
  const std::string name = dir.File("t.ini");
  ChildProcess child([&](Channel&) {
    if (geteuid() == 0 && setresuid(65534, 65534, 65534) != 0) return 3;
    TIniFile ini(name);
    if (ini.ReadString("Platebna", "Prodejna", "none") != "none") return 4;
    try {
      ini.WriteString("Platebna", "PlatebnaT", "1");
      return 5;
    } catch (const EIniFileError&) {
    }
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(dir.Read("t.ini"), kPlatebna);
}

TEST(IniFile, ReplacementIsAtomicAndKeepsLinksAndPermissions) {
  TempDir dir;
  dir.Write("real.ini", kPlatebna);
  ASSERT_EQ(chmod(dir.File("real.ini").c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.ini", dir.File("link.ini").c_str()), 0);
  struct stat before;
  ASSERT_EQ(stat(dir.File("real.ini").c_str(), &before), 0);
  TIniFile ini(dir.File("link.ini"));
  ini.WriteString("Platebna", "Prodejna", "0009");
  struct stat after, link;
  ASSERT_EQ(stat(dir.File("real.ini").c_str(), &after), 0);
  ASSERT_EQ(lstat(dir.File("link.ini").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file took the old one's place
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(TIniFile(dir.File("real.ini")).ReadString("Platebna", "Prodejna", ""), "0009");
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // no temporary file left behind
}

TEST(IniFileMultiprocess, AReaderNeverSeesHalfAFile) {
  TempDir dir;
  const std::string name = dir.File("t.ini");
  const AnsiString big(60000, 'a');
  const AnsiString other(60000, 'b');
  TIniFile ini(name);
  ini.WriteString("S", "v", big);
  ini.WriteString("S", "w", "end");
  ChildProcess reader([&](Channel& ch) {
    TIniFile mine(name);
    ch.Send("ready");
    for (int i = 0; i < 400; ++i) {
      AnsiString v = mine.ReadString("S", "v", "");
      if (v != big && v != other) return 1;
      if (mine.ReadString("S", "w", "") != "end") return 2;
    }
    return 0;
  });
  ASSERT_EQ(reader.channel().Receive(), "ready");
  for (int i = 0; i < 100; ++i) ini.WriteString("S", "v", i % 2 ? big : other);
  EXPECT_EQ(reader.Wait(), 0);
}

TEST(IniFileMalformed, RandomFilesReadSafelyAndKeepTheirEntriesAcrossAWrite) {
  TempDir dir;
  std::vector<std::string> seeds = {kPlatebna, "[a]\nk=v\n[b]\r\nx = 'y'\r;c\r", "[[x]]\n=\n==\n[\n]\n",
                                    std::string("\0[s]\0k=\0", 8)};
  RandomInputOptions options;
  options.iterations = 300;
  options.maxSize = 4096;
  RunRandomInputs(
      seeds,
      [&](const std::string& bytes) {
        dir.Write("r.ini", bytes);
        TIniFile ini(dir.File("r.ini"));
        TStringList sections;
        ini.ReadSections(sections);
        std::map<AnsiString, std::vector<AnsiString>> before;
        for (int i = 0; i < sections.Count(); ++i) {
          TStringList values;
          ini.ReadSectionValues(sections[i], values);
          before[sections[i]] = Items(values);
        }
        ini.WriteString("Zz9 written", "Key", "value");
        ASSERT_EQ(ini.ReadString("zz9 WRITTEN", "key", ""), "value");
        for (const auto& [section, values] : before) {
          TStringList now;
          ini.ReadSectionValues(section, now);
          if (AnsiUpperCase(section) == "ZZ9 WRITTEN") continue;
          ASSERT_EQ(Items(now), values) << section;
        }
      },
      options);
}

}  // namespace
