// Full case folding: Qt's simple folding, plus the foldings into several letters that the simple
// one leaves out (ß and the Latin ligatures), so that "Straße" and "STRASSE" fold alike.
#include "cli/case_folding.h"

#include <QString>
#include <array>
#include <string>

#include "text/codepage.h"

namespace cli {

namespace {

QString FullyFolded(const QString& text) {
  QString folded = text.toCaseFolded();
  // After simple folding, U+1E9E has become U+00DF as well.
  struct Expansion {
    char16_t from;
    const char16_t* to;
  };
  static constexpr std::array<Expansion, 8> kExpansions{{
      {u'\u00DF', u"ss"},
      {u'\uFB00', u"ff"},
      {u'\uFB01', u"fi"},
      {u'\uFB02', u"fl"},
      {u'\uFB03', u"ffi"},
      {u'\uFB04', u"ffl"},
      {u'\uFB05', u"st"},
      {u'\uFB06', u"st"},
  }};
  for (const Expansion& expansion : kExpansions) {
    if (folded.contains(QChar(expansion.from))) {
      folded.replace(QChar(expansion.from), QString::fromUtf16(expansion.to));
    }
  }
  return folded;
}

QString FromCp1252(std::string_view bytes) {
  const std::u16string utf16 = text::Cp1252ToUtf16(bytes);
  return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size()));
}

}  // namespace

struct FoldedNeedle::Folded {
  QString needle;
};

FoldedNeedle::FoldedNeedle(std::string_view utf8)
    : m_folded(std::make_unique<Folded>(Folded{
          FullyFolded(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())))})) {}

FoldedNeedle::~FoldedNeedle() = default;

bool FoldedNeedle::FoundIn(std::string_view cp1252) const {
  return FullyFolded(FromCp1252(cp1252)).contains(m_folded->needle);
}

}  // namespace cli
