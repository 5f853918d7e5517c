// TIniFile: settings files read and written line by line.
//
// The file is held as its lines, each with the line end it had, so that a
// write changes exactly the lines it must and every other byte (comments,
// unknown sections, order, line ends, a missing final line end) stays as it
// was. New lines take the file's first line end (CRLF in a new file).
//
// Invariants: every write reads the current file, changes it in memory and
// replaces it through a temporary file in the same directory followed by
// rename, so a reader sees either the old or the new file, never a part;
// a failed write leaves the old file untouched. Only the first section of
// a name and the first key of a name in it are ever read or changed.
#include "platform/rtl/inifiles.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/rtl/codepages.h"
#include "platform/rtl/fileio.h"
#include "platform/rtl/paths.h"
#include "platform/rtl/system.h"

namespace {

struct Line {
  AnsiString text;
  AnsiString end;  // "\r\n", "\n", "\r" or "" for a last line without one
};

struct IniText {
  std::vector<Line> lines;
  AnsiString style = "\r\n";
};

enum class LineKind { Other, Section, Key };

struct LineInfo {
  LineKind kind = LineKind::Other;
  AnsiString name;   // section or key name, trimmed
  AnsiString value;  // key value, trimmed, quotes kept
};

LineInfo Classify(const AnsiString& text) {
  LineInfo info;
  AnsiString trimmed = Trim(text);
  if (trimmed.empty() || trimmed[0] == ';') return info;
  if (trimmed[0] == '[') {
    std::size_t close = trimmed.find(']');
    info.kind = LineKind::Section;
    info.name = Trim(std::string_view(trimmed).substr(1, close == AnsiString::npos ? AnsiString::npos
                                                                                   : close - 1));
    return info;
  }
  std::size_t eq = trimmed.find('=');
  if (eq == AnsiString::npos) return info;
  info.kind = LineKind::Key;
  info.name = Trim(std::string_view(trimmed).substr(0, eq));
  info.value = Trim(std::string_view(trimmed).substr(eq + 1));
  return info;
}

bool SameName(std::string_view a, std::string_view b) {
  return AnsiUpperCase(Trim(a)) == AnsiUpperCase(Trim(b));
}

AnsiString Unquote(const AnsiString& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

// Settings files named without a directory live in the "Windows directory",
// as the system's profile files do.
AnsiString ResolvedName(const AnsiString& fileName) {
  if (IsFullFileName(fileName)) return fileName;
  return WindowsDirectory() + fileName;
}

// Reads the file into lines. A missing file is an empty one; false when the
// file exists but cannot be read in full, so that no write replaces it with
// what little was read.
bool Load(const AnsiString& fileName, IniText& ini) {
  ini = IniText();
  std::optional<std::string> path = ExistingDiskPath(ResolvedName(fileName));
  if (!path) return true;
  int fd = open(path->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes;
  char chunk[8192];
  bool complete = true;
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) complete = false;
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  if (!complete) return false;
  bool styleFound = false;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t start = i;
    while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n') ++i;
    Line line{bytes.substr(start, i - start), AnsiString()};
    if (i < bytes.size()) {
      std::size_t endLength = (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
      line.end = bytes.substr(i, endLength);
      i += endLength;
      if (!styleFound) {
        ini.style = line.end;
        styleFound = true;
      }
    }
    ini.lines.push_back(std::move(line));
  }
  return true;
}

// Settings that cannot be read give the callers' defaults.
IniText LoadForReading(const AnsiString& fileName) {
  IniText ini;
  if (!Load(fileName, ini)) ini = IniText();
  return ini;
}

IniText LoadForWriting(const AnsiString& fileName) {
  IniText ini;
  if (!Load(fileName, ini)) throw EIniFileError(Format("Unable to write to %s", fileName));
  return ini;
}

struct SectionRange {
  std::size_t header;
  std::size_t end;  // index of the next section header or the line count
};

std::size_t NextSection(const IniText& ini, std::size_t from) {
  for (std::size_t i = from; i < ini.lines.size(); ++i)
    if (Classify(ini.lines[i].text).kind == LineKind::Section) return i;
  return ini.lines.size();
}

std::optional<SectionRange> FindSection(const IniText& ini, std::string_view section) {
  for (std::size_t i = 0; i < ini.lines.size(); ++i) {
    LineInfo info = Classify(ini.lines[i].text);
    if (info.kind == LineKind::Section && SameName(info.name, section))
      return SectionRange{i, NextSection(ini, i + 1)};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const IniText& ini, const SectionRange& range,
                                   std::string_view key) {
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    LineInfo info = Classify(ini.lines[i].text);
    if (info.kind == LineKind::Key && SameName(info.name, key)) return i;
  }
  return std::nullopt;
}

std::optional<LineInfo> Lookup(const AnsiString& fileName, std::string_view section,
                               std::string_view key) {
  IniText ini = LoadForReading(fileName);
  std::optional<SectionRange> range = FindSection(ini, section);
  if (!range) return std::nullopt;
  std::optional<std::size_t> index = FindKey(ini, *range, key);
  if (!index) return std::nullopt;
  return Classify(ini.lines[*index].text);
}

// Inserts a line before index; a line before it that had no line end (the
// old last line) gets one first.
void InsertLine(IniText& ini, std::size_t index, const AnsiString& text) {
  if (index > 0 && ini.lines[index - 1].end.empty()) ini.lines[index - 1].end = ini.style;
  ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(index), Line{text, ini.style});
}

void Save(const AnsiString& fileName, const IniText& ini) {
  std::string bytes;
  for (const Line& line : ini.lines) {
    bytes += line.text;
    bytes += line.end;
  }
  if (!WriteFileAtomically(ResolvedName(fileName), bytes)) throw EIniFileError(Format("Unable to write to %s", fileName));
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

TIniFile::TIniFile(const AnsiString& fileName) : fileName_(fileName) {}

AnsiString TIniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  std::optional<LineInfo> found = Lookup(fileName_, section, key);
  return found ? Unquote(found->value) : AnsiString(defaultValue);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
  AnsiString text = ReadString(section, key, "");
  if (text.empty()) return defaultValue;
  return StrToIntDef(text, defaultValue);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  // A line break would split the entry and plant foreign lines in the file;
  // "=" in a key or "]" in a section name would not read back as written.
  AnsiString keyName = Trim(key);
  AnsiString sectionName = Trim(section);
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || keyName.empty() ||
      keyName.find('=') != AnsiString::npos || keyName[0] == ';' || keyName[0] == '[' ||
      sectionName.find(']') != AnsiString::npos)
    throw EIniFileError(Format("Invalid entry for %s", fileName_));
  IniText ini = LoadForWriting(fileName_);
  std::optional<SectionRange> range = FindSection(ini, section);
  if (!range) {
    InsertLine(ini, ini.lines.size(), "[" + sectionName + "]");
    InsertLine(ini, ini.lines.size(), keyName + "=" + AnsiString(value));
  } else if (std::optional<std::size_t> index = FindKey(ini, *range, key)) {
    // The key keeps the spelling the file has.
    ini.lines[*index].text = Classify(ini.lines[*index].text).name + "=" + AnsiString(value);
  } else {
    // After the section's last non-blank line, so blank lines that separate
    // it from the next section stay where they are.
    std::size_t at = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i)
      if (!Trim(ini.lines[i].text).empty()) at = i + 1;
    InsertLine(ini, at, keyName + "=" + AnsiString(value));
  }
  Save(fileName_, ini);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::ReadSection(std::string_view section, TStrings& keys) const {
  keys.BeginUpdate();
  try {
    keys.Clear();
    IniText ini = LoadForReading(fileName_);
    if (std::optional<SectionRange> range = FindSection(ini, section)) {
      for (std::size_t i = range->header + 1; i < range->end; ++i) {
        LineInfo info = Classify(ini.lines[i].text);
        if (info.kind == LineKind::Key) keys.Add(info.name);
      }
    }
  } catch (...) {
    keys.EndUpdate();
    throw;
  }
  keys.EndUpdate();
}

void TIniFile::ReadSections(TStrings& sections) const {
  sections.BeginUpdate();
  try {
    sections.Clear();
    IniText ini = LoadForReading(fileName_);
    std::vector<AnsiString> seen;
    for (const Line& line : ini.lines) {
      LineInfo info = Classify(line.text);
      if (info.kind != LineKind::Section) continue;
      bool known = false;
      for (const AnsiString& name : seen) known = known || SameName(name, info.name);
      if (known) continue;
      seen.push_back(info.name);
      sections.Add(info.name);
    }
  } catch (...) {
    sections.EndUpdate();
    throw;
  }
  sections.EndUpdate();
}

void TIniFile::ReadSectionValues(std::string_view section, TStrings& values) const {
  values.BeginUpdate();
  try {
    values.Clear();
    IniText ini = LoadForReading(fileName_);
    if (std::optional<SectionRange> range = FindSection(ini, section)) {
      for (std::size_t i = range->header + 1; i < range->end; ++i) {
        LineInfo info = Classify(ini.lines[i].text);
        if (info.kind == LineKind::Key) values.Add(info.name + "=" + Unquote(info.value));
      }
    }
  } catch (...) {
    values.EndUpdate();
    throw;
  }
  values.EndUpdate();
}

bool TIniFile::SectionExists(std::string_view section) const {
  return FindSection(LoadForReading(fileName_), section).has_value();
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return Lookup(fileName_, section, key).has_value();
}

void TIniFile::EraseSection(std::string_view section) {
  IniText ini = LoadForWriting(fileName_);
  bool changed = false;
  while (std::optional<SectionRange> range = FindSection(ini, section)) {
    ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(range->header),
                    ini.lines.begin() + static_cast<std::ptrdiff_t>(range->end));
    changed = true;
  }
  if (changed) Save(fileName_, ini);
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  IniText ini = LoadForWriting(fileName_);
  std::optional<SectionRange> range = FindSection(ini, section);
  if (!range) return;
  std::optional<std::size_t> index = FindKey(ini, *range, key);
  if (!index) return;
  ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(*index));
  Save(fileName_, ini);
}
