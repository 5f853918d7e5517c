// TIniFile: settings files with the semantics of the system's profile
// files. Sections and keys are matched case-insensitively (CP1250 letters
// too), the first match wins, blanks around keys and values are trimmed,
// one matching pair of surrounding double or single quotes is removed on
// read, lines beginning with ";" are comments, there are no inline comments.
//
// Writing keeps every other line, comment, order and the file's line-end
// style, writes through at once and replaces the file atomically (temporary
// file in the same directory, then rename), so another reader never sees
// half a file. A missing file reads as empty; the first write creates it.
// Content stays CP1250 bytes. A name without a full path is taken in
// WindowsDirectory(), as the system's profile files are.
#pragma once

#include <string_view>

#include "platform/rtl/ansistring.h"
#include "platform/rtl/stringlist.h"
#include "platform/rtl/sysutils.h"

class TIniFile {
 public:
  explicit TIniFile(const AnsiString& fileName);
  const AnsiString& FileName() const { return fileName_; }

  AnsiString ReadString(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
  // Writes raise EIniFileError "Unable to write to %s" when the file cannot
  // be replaced, and "Invalid entry for %s" for a section, key or value
  // that would not read back as written (line breaks, "=" in a key, "]" in
  // a section name, an empty key).
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // "1"/"0"

  void ReadSection(std::string_view section, TStrings& keys) const;
  void ReadSections(TStrings& sections) const;
  void ReadSectionValues(std::string_view section, TStrings& values) const;  // "key=value"
  bool SectionExists(std::string_view section) const;  // its header is present
  bool ValueExists(std::string_view section, std::string_view key) const;
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);
  // Writes go through at once; kept for callers that flush explicitly.
  void UpdateFile() {}

 private:
  AnsiString fileName_;
};

class EIniFileError : public Exception {
 public:
  using Exception::Exception;
};
