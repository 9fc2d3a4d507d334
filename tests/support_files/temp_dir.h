#pragma once
// A fresh folder for one test, removed afterwards.
#include <string>

namespace velt::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder with a trailing separator.
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }
  // Copies what `folder` holds into this folder, over files of the same name.
  void CopyIn(const std::string& folder) const;

 private:
  std::string path_;
};

// UTF-8 source text to the program's Windows-1251.
std::string A(const char* utf8);

}  // namespace velt::testing
