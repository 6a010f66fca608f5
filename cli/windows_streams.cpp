// kl7's standard streams and arguments on Windows (see windows_streams.h).
#if defined(_WIN32)

#include "cli/windows_streams.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>

namespace cli {

namespace {

std::string Utf8(const wchar_t* wide) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
  text.pop_back();  // the terminating zero
  return text;
}

// How many bytes at the end of `bytes` begin a UTF-8 sequence that is not complete yet.
std::size_t IncompleteTail(const char* bytes, std::size_t size) {
  for (std::size_t back = 1; back <= std::min<std::size_t>(size, 3); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[size - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

class HandleBuffer final : public std::streambuf {
 public:
  explicit HandleBuffer(HANDLE handle) : m_handle(handle) {
    DWORD mode = 0;
    m_console =
        handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
  }
  ~HandleBuffer() override { (void)Flush(true); }

 protected:
  int_type overflow(int_type c) override {
    if (!Flush(false)) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }
  int sync() override { return Flush(true) ? 0 : -1; }

 private:
  // Writes what the buffer holds; a console keeps back a character that is not complete yet unless
  // `all`.
  bool Flush(bool all) {
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    std::size_t kept = 0;
    bool written = true;
    if (m_console) {
      kept = all ? 0 : IncompleteTail(pbase(), size);
      written = WriteConsole(pbase(), size - kept);
    } else {
      written = WriteBytes(pbase(), size);
    }
    std::copy(pbase() + (size - kept), pbase() + size, m_buffer.data());
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    pbump(static_cast<int>(kept));
    return written;
  }

  bool WriteBytes(const char* bytes, std::size_t size) {
    while (size > 0) {
      DWORD done = 0;
      const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      if (!::WriteFile(m_handle, bytes, chunk, &done, nullptr) || done == 0) return false;
      bytes += done;
      size -= done;
    }
    return true;
  }

  bool WriteConsole(const char* bytes, std::size_t size) {
    if (size == 0) return true;
    const int wideLength =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), nullptr, 0);
    if (wideLength <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), wide.data(), wideLength);
    const wchar_t* at = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
      DWORD done = 0;
      if (!::WriteConsoleW(m_handle, at, left, &done, nullptr) || done == 0) return false;
      at += done;
      left -= done;
    }
    return true;
  }

  HANDLE m_handle;
  bool m_console = false;
  std::array<char, 1 << 16> m_buffer{};
};

}  // namespace

std::vector<std::string> WideArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

std::unique_ptr<std::streambuf> StandardHandleBuffer(unsigned long which) {
  return std::make_unique<HandleBuffer>(::GetStdHandle(which));
}

}  // namespace cli

#endif
