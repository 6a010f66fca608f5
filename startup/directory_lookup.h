// The file-system questions that start-up asks while it walks up to the utilities directory, behind
// an interface so that tests can answer them without a disk.
#pragma once

#include <optional>
#include <string>

namespace startup {

class DirectoryLookup {
 public:
  virtual ~DirectoryLookup() = default;

  // True only when `path` names an existing directory; a file of that name does not count.
  [[nodiscard]] virtual bool IsDirectory(const std::string& path) = 0;

  // The spelling of a subdirectory of `directory` (empty: the current directory) whose name equals
  // `name` apart from the letter case of a to z. When several exist, `name` itself wins, else the
  // first in byte order. Empty when there is none or `directory` cannot be listed.
  [[nodiscard]] virtual std::optional<std::string> FindDirectoryVariant(
      const std::string& directory, const std::string& name) = 0;
};

// Answers from the real file system. It only looks: it stats paths and lists directories, and never
// throws (an unreadable directory counts as not holding the name).
class FileSystemLookup final : public DirectoryLookup {
 public:
  [[nodiscard]] bool IsDirectory(const std::string& path) override;
  [[nodiscard]] std::optional<std::string> FindDirectoryVariant(const std::string& directory,
                                                                const std::string& name) override;
};

}  // namespace startup
