// What the fuzz targets share: a private scratch folder per fuzzing process, writing bytes to a
// file in it, cutting one input into several parts, and a bound on the heap one input may use.
#pragma once

#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <atomic>
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

// The peak of the heap in use while one input runs, above what was in use when it started, must
// stay within a fixed allowance plus a multiple of the input's size: reading files of N bytes may
// take memory in proportion to N, never to what the bytes claim. Catches amplification long before
// the process's memory limit would. Construct one per input; the check runs when it goes out of
// scope. With KL7_FUZZ_HEAP_REPORT set, every input's peak is printed.
class HeapBudget {
 public:
  HeapBudget(std::size_t inputSize, std::size_t fixedBytes, std::size_t bytesPerInputByte)
      : m_allowed(fixedBytes + bytesPerInputByte * inputSize) {
    static const bool installed = [] {
      return __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;
    }();
    (void)installed;
    m_base = Live().load();
    Peak().store(m_base);
  }
  ~HeapBudget() {
    const std::int64_t used = Peak().load() - m_base;
    static const bool report = std::getenv("KL7_FUZZ_HEAP_REPORT") != nullptr;
    if (report)
      std::fprintf(stderr, "==heap budget== %lld of %zu\n", static_cast<long long>(used),
                   m_allowed);
    if (used > static_cast<std::int64_t>(m_allowed)) {
      std::fprintf(stderr, "==heap budget== one input used %lld bytes of heap, allowed %zu\n",
                   static_cast<long long>(used), m_allowed);
      std::abort();
    }
  }
  HeapBudget(const HeapBudget&) = delete;
  HeapBudget& operator=(const HeapBudget&) = delete;

 private:
  static std::atomic<std::int64_t>& Live() {
    static std::atomic<std::int64_t> live{0};
    return live;
  }
  static std::atomic<std::int64_t>& Peak() {
    static std::atomic<std::int64_t> peak{0};
    return peak;
  }
  static void OnMalloc(const volatile void* pointer, std::size_t size) {
    (void)pointer;
    const std::int64_t now =
        Live().fetch_add(static_cast<std::int64_t>(size)) + static_cast<std::int64_t>(size);
    std::int64_t peak = Peak().load();
    while (now > peak && !Peak().compare_exchange_weak(peak, now)) {
    }
  }
  static void OnFree(const volatile void* pointer) {
    if (pointer != nullptr)
      Live().fetch_sub(static_cast<std::int64_t>(__sanitizer_get_allocated_size(pointer)));
  }

  std::size_t m_allowed;
  std::int64_t m_base = 0;
};

}  // namespace fuzz
