// Settings: the program-wide list of name=value lines; start-up keeps the utilities directory in
// it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace startup {

// An ordered list of "name=value" lines. A key matches a line when it equals the text before the
// line's first "=" apart from the letter case of a to z. Plain value type: copy it freely.
class Settings {
 public:
  // The value of `key`: the text after the "=" of the first matching line; empty when none matches.
  [[nodiscard]] std::string Read(std::string_view key) const;

  // Sets `key` to `value`. A non-empty value replaces the first matching line (spelled with `key`)
  // or is appended as a new line; the empty value removes the first matching line.
  void Write(std::string_view key, std::string_view value);

  // The lines in their order, each "name=value".
  [[nodiscard]] const std::vector<std::string>& Lines() const { return m_lines; }

 private:
  // Index of the first line whose name matches `key`, or Lines().size().
  [[nodiscard]] std::size_t Find(std::string_view key) const;

  std::vector<std::string> m_lines;
};

}  // namespace startup
