// Settings lines: lookup by the name before the first "=", without regard to a-z letter case.
#include "startup/settings.h"

#include <iterator>
#include <utility>

#include "text/case.h"

namespace startup {

std::size_t Settings::Find(std::string_view key) const {
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    const std::string_view line = m_lines[i];
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos && text::EqualsIgnoreCase(line.substr(0, equals), key)) {
      return i;
    }
  }
  return m_lines.size();
}

std::string Settings::Read(std::string_view key) const {
  const std::size_t index = Find(key);
  if (index == m_lines.size()) return {};
  const std::string& line = m_lines[index];
  return line.substr(line.find('=') + 1);
}

void Settings::Write(std::string_view key, std::string_view value) {
  const std::size_t index = Find(key);
  if (value.empty()) {
    if (index != m_lines.size()) m_lines.erase(std::next(m_lines.begin(), index));
    return;
  }
  std::string line = std::string(key) + '=' + std::string(value);
  if (index == m_lines.size()) {
    m_lines.push_back(std::move(line));
  } else {
    m_lines[index] = std::move(line);
  }
}

}  // namespace startup
