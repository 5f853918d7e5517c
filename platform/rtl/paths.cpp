// File names in program form (CP1250, Windows or Linux style) and their
// paths on disk (UTF-8).
//
// Invariants: ExpandFileName yields "/" separators only, no "." or ".."
// components and no doubled separators (except the leading "//" of a UNC
// name); a drive prefix "X:" is kept in program form and replaced by
// $DRIVE_X only when a disk path is made. Disk lookups prefer the exact
// spelling of a component and otherwise take the first case-insensitive
// match in byte order, so the same name always resolves to the same file.
#include "platform/rtl/paths.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/rtl/codepages.h"

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDrive(std::string_view name) {
  return name.size() >= 2 && IsDriveLetter(name[0]) && name[1] == ':';
}

// Index just past the directory part of name: after its last separator or
// after a drive colon; 0 when there is none.
std::size_t FilePartStart(std::string_view name) {
  for (std::size_t i = name.size(); i > 0; --i) {
    char c = name[i - 1];
    if (IsSep(c)) return i;
    if (c == ':' && i == 2 && HasDrive(name)) return i;
  }
  return 0;
}

std::vector<std::string_view> SplitComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && IsSep(path[i])) ++i;
    std::size_t start = i;
    while (i < path.size() && !IsSep(path[i])) ++i;
    if (i > start) parts.push_back(path.substr(start, i - start));
  }
  return parts;
}

// Joins the components under prefix, dropping "." and resolving "..",
// which never climbs above the prefix (as on Windows).
AnsiString Normalise(const AnsiString& prefix, std::string_view rest, bool trailingSep) {
  std::vector<std::string_view> kept;
  for (std::string_view part : SplitComponents(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  AnsiString out = prefix;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) out += '/';
    out.append(kept[i]);
  }
  if (trailingSep && !kept.empty()) out += '/';
  return out;
}

bool IsDirectoryOnDisk(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ExistsOnDisk(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The comparison key of a name: its CP1250 form upper-cased; a disk name
// that does not survive the trip to CP1250 and back takes part as raw bytes.
AnsiString CaseKey(std::string_view programName) { return AnsiUpperCase(programName); }

// The entry of directory dir whose name matches component, preferring the
// exact spelling, else the first case-insensitive match in byte order.
std::optional<std::string> MatchEntry(const std::string& dir, std::string_view component) {
  std::string exact = AnsiToUtf8(component);
  std::string dirPrefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  if (ExistsOnDisk(dirPrefix + exact)) return exact;
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::nullopt;
  AnsiString wanted = CaseKey(component);
  std::optional<std::string> best;
  while (dirent* e = readdir(d)) {
    std::string_view entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (CaseKey(DiskPathToProgramName(entry)) != wanted) continue;
    if (!best || std::string(entry) < *best) best = std::string(entry);
  }
  closedir(d);
  return best;
}

// Splits a full program name into the disk directory it starts from and
// the components below it. nullopt for a drive without $DRIVE_X.
struct Anchored {
  std::string root;
  AnsiString rest;
};

std::optional<Anchored> Anchor(std::string_view name) {
  // The system would cut a name at a zero byte and find another file.
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  AnsiString full = ExpandFileName(name);
  if (full.empty()) return std::nullopt;
  if (HasDrive(full)) {
    char letter = full[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    std::string var = std::string("DRIVE_") + letter;
    const char* dir = std::getenv(var.c_str());
    if (!dir || !*dir) return std::nullopt;
    return Anchored{dir, full.substr(2)};
  }
  if (full.size() >= 2 && full[0] == '/' && full[1] == '/') return Anchored{"//", full.substr(2)};
  return Anchored{"/", full.substr(1)};
}

std::string JoinDisk(const std::string& dir, const std::string& entry) {
  if (dir.empty() || dir.back() == '/') return dir + entry;
  return dir + "/" + entry;
}

}  // namespace

AnsiString DiskPathToProgramName(std::string_view diskPath) {
  AnsiString out;
  std::size_t i = 0;
  while (i <= diskPath.size()) {
    std::size_t end = diskPath.find('/', i);
    if (end == std::string_view::npos) end = diskPath.size();
    std::string_view part = diskPath.substr(i, end - i);
    AnsiString ansi = Utf8ToAnsi(part);
    out += AnsiToUtf8(ansi) == part ? ansi : AnsiString(part);
    if (end == diskPath.size()) break;
    out += '/';
    i = end + 1;
  }
  return out;
}

bool IsFullFileName(std::string_view name) {
  return (!name.empty() && IsSep(name[0])) || HasDrive(name);
}

AnsiString ExpandFileName(std::string_view name) {
  if (name.empty()) return AnsiString();
  bool trailing = IsSep(name.back());
  if (HasDrive(name)) {
    AnsiString prefix(name.substr(0, 2));
    return Normalise(prefix + "/", name.substr(2), trailing);
  }
  if (name.size() >= 2 && IsSep(name[0]) && IsSep(name[1]))
    return Normalise("//", name.substr(2), trailing);
  if (IsSep(name[0])) return Normalise("/", name, trailing);
  AnsiString cwd = GetCurrentDir();
  AnsiString joined = cwd + "/" + AnsiString(name);
  return Normalise("/", joined, trailing);
}

AnsiString ExtractFilePath(std::string_view name) {
  return AnsiString(name.substr(0, FilePartStart(name)));
}

AnsiString ExtractFileDir(std::string_view name) {
  std::size_t start = FilePartStart(name);
  std::string_view dir = name.substr(0, start);
  // A root keeps its separator: "/" and "C:\" are directories by themselves.
  if (dir.size() > 1 && IsSep(dir.back()) && !(dir.size() == 3 && HasDrive(dir)))
    dir.remove_suffix(1);
  return AnsiString(dir);
}

AnsiString ExtractFileName(std::string_view name) {
  return AnsiString(name.substr(FilePartStart(name)));
}

AnsiString ExtractFileExt(std::string_view name) {
  std::size_t start = FilePartStart(name);
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < start) return AnsiString();
  return AnsiString(name.substr(dot));
}

AnsiString ChangeFileExt(std::string_view name, std::string_view ext) {
  std::size_t start = FilePartStart(name);
  std::size_t dot = name.rfind('.');
  std::string_view stem = (dot == std::string_view::npos || dot < start) ? name : name.substr(0, dot);
  return AnsiString(stem) + AnsiString(ext);
}

AnsiString IncludeTrailingPathDelimiter(std::string_view dir) {
  if (!dir.empty() && IsSep(dir.back())) return AnsiString(dir);
  return AnsiString(dir) + PathDelim;
}

AnsiString ExcludeTrailingPathDelimiter(std::string_view dir) {
  if (dir.size() > 1 && IsSep(dir.back())) dir.remove_suffix(1);
  return AnsiString(dir);
}

std::optional<std::string> ExistingDiskPath(std::string_view name) {
  std::optional<Anchored> anchored = Anchor(name);
  if (!anchored) return std::nullopt;
  std::string path = anchored->root;
  if (!ExistsOnDisk(path)) return std::nullopt;
  std::vector<std::string_view> parts = SplitComponents(anchored->rest);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!IsDirectoryOnDisk(path)) return std::nullopt;
    std::optional<std::string> entry = MatchEntry(path, parts[i]);
    if (!entry) return std::nullopt;
    path = JoinDisk(path, *entry);
  }
  return path;
}

std::optional<std::string> DiskPathForCreate(std::string_view name) {
  std::optional<Anchored> anchored = Anchor(name);
  if (!anchored) return std::nullopt;
  std::vector<std::string_view> parts = SplitComponents(anchored->rest);
  if (parts.empty()) return anchored->root;
  std::string path = anchored->root;
  if (!IsDirectoryOnDisk(path)) return std::nullopt;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    std::optional<std::string> entry = MatchEntry(path, parts[i]);
    if (!entry) return std::nullopt;
    path = JoinDisk(path, *entry);
    if (!IsDirectoryOnDisk(path)) return std::nullopt;
  }
  // A case variant that already exists is reused, as a case-insensitive
  // file system would; otherwise the name keeps the spelling it was given.
  std::optional<std::string> last = MatchEntry(path, parts.back());
  return JoinDisk(path, last ? *last : AnsiToUtf8(parts.back()));
}

bool FileExists(std::string_view name) {
  std::optional<std::string> path = ExistingDiskPath(name);
  if (!path) return false;
  struct stat st;
  return stat(path->c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view name) {
  std::optional<std::string> path = ExistingDiskPath(name);
  return path && IsDirectoryOnDisk(*path);
}

bool DeleteFile(std::string_view name) {
  std::optional<std::string> path = ExistingDiskPath(name);
  if (!path) {
    errno = ENOENT;
    return false;
  }
  if (IsDirectoryOnDisk(*path)) {
    errno = EISDIR;
    return false;
  }
  return unlink(path->c_str()) == 0;
}

bool CreateDir(std::string_view name) {
  std::optional<std::string> path = DiskPathForCreate(ExcludeTrailingPathDelimiter(name));
  if (!path) {
    errno = ENOENT;
    return false;
  }
  return mkdir(path->c_str(), 0777) == 0;
}

bool ForceDirectories(std::string_view name) {
  AnsiString full = ExpandFileName(name);
  if (full.empty()) return false;
  if (DirectoryExists(full)) return true;
  AnsiString parent = ExtractFileDir(ExcludeTrailingPathDelimiter(full));
  if (parent.size() < ExcludeTrailingPathDelimiter(full).size() && !ForceDirectories(parent))
    return false;
  return CreateDir(full) || DirectoryExists(full);
}

AnsiString GetCurrentDir() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size())) return DiskPathToProgramName(buffer.data());
    if (errno != ERANGE) return AnsiString("/");
    buffer.resize(buffer.size() * 2);
  }
}
