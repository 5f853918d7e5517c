// A fresh temporary directory per test (mkdtemp under $TMPDIR), removed with
// everything in it when the object goes, so that tests can run in parallel.
#pragma once

#include <string>

#include "platform/rtl/ansistring.h"

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Directory path with a trailing "/" (UTF-8 on disk; ASCII in practice, so
  // it is also a valid CP1250 program name).
  const std::string& Path() const { return path_; }
  // Path of a file inside the directory.
  std::string File(const std::string& name) const { return path_ + name; }

  // Whole-file helpers for fixtures.
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};
