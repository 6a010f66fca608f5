// What the fuzz targets share: a private scratch folder per fuzzing process, writing bytes to a
// file in it, and cutting one input into several parts.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fuzz {

// The separator between the parts of an input that stands for several files or arguments.
inline constexpr std::string_view kPartSeparator = "#KL7#";

// A folder of this process's own, made once (under TMPDIR or /tmp) and removed at exit.
inline const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/kl7-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return std::filesystem::path(pattern);
  }();
  return folder;
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
    std::abort();
  std::fclose(file);
}

// `input` cut at every separator; an input without one is a single part.
inline std::vector<std::string_view> SplitParts(std::string_view input) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = input.find(kPartSeparator);
    parts.push_back(input.substr(0, at));
    if (at == std::string_view::npos) return parts;
    input.remove_prefix(at + kPartSeparator.size());
  }
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz
