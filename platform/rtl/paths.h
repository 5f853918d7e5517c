// File names. Inside the program names are CP1250 texts in Windows or Linux
// style; this module turns them into full names and into paths on disk.
//
// "\" and "/" are both separators. A name is full when it starts with a
// separator, with "\\" (UNC form, taken as "//..."), or with a drive letter
// and colon; "X:" stands for the directory in the environment variable
// DRIVE_X (X upper case) and does not resolve without it. Every other name
// is relative to the current directory.
//
// Names on disk are looked up case-insensitively: each path component that
// does not exist with its exact spelling is matched against the directory's
// entries (UTF-8 names compared after conversion to CP1250 and upper-casing;
// names that are not valid UTF-8 compare as raw bytes). The exact spelling
// wins, then the first match in byte order.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/rtl/ansistring.h"

constexpr char PathDelim = '/';

// Full name in program form (CP1250, separators unified to "/"; a drive
// prefix is kept).
AnsiString ExpandFileName(std::string_view name);
bool IsFullFileName(std::string_view name);

// Directory part including its trailing separator, file part, extension
// (with its dot, taken from the last component only).
AnsiString ExtractFilePath(std::string_view name);
AnsiString ExtractFileDir(std::string_view name);  // without the trailing separator
AnsiString ExtractFileName(std::string_view name);
AnsiString ExtractFileExt(std::string_view name);
AnsiString ChangeFileExt(std::string_view name, std::string_view ext);
AnsiString IncludeTrailingPathDelimiter(std::string_view dir);
AnsiString ExcludeTrailingPathDelimiter(std::string_view dir);

// Path on disk (UTF-8) of an existing file or directory, or nullopt when
// the name does not resolve (missing file, unknown drive).
std::optional<std::string> ExistingDiskPath(std::string_view name);
// Path on disk for a file that may not exist yet: existing components are
// matched as above; a last component without any match keeps the spelling
// it was given. nullopt when the directory does not resolve.
std::optional<std::string> DiskPathForCreate(std::string_view name);

// Program form of a path on disk: each component converted to CP1250 when
// it survives the trip back to UTF-8 unchanged, else kept as raw bytes (the
// lookup above then compares it as raw bytes).
AnsiString DiskPathToProgramName(std::string_view diskPath);

bool FileExists(std::string_view name);  // false for directories
bool DirectoryExists(std::string_view name);
bool DeleteFile(std::string_view name);
bool CreateDir(std::string_view name);
bool ForceDirectories(std::string_view name);
AnsiString GetCurrentDir();
