// A scratch directory tree under the system's temporary directory, removed when the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace startup::test_support {

class TempTree {
 public:
  TempTree() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    do {
      m_root = base / ("kl7view-startup-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(m_root));
  }
  ~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& Root() const { return m_root; }

  // Creates the directory `relative` (and its parents) inside the tree.
  void AddDirectory(const std::string& relative) {
    std::filesystem::create_directories(m_root / relative);
  }

  // Creates an empty file `relative` inside the tree; its directory must exist.
  void AddFile(const std::string& relative) {
    std::filesystem::create_directories((m_root / relative).parent_path());
    std::ofstream(m_root / relative).flush();
  }

 private:
  std::filesystem::path m_root;
};

}  // namespace startup::test_support
