// Which texts are references, and the library and entry numbers read out of them.
#include "libraries/reference.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace core {
namespace {

struct ParseCase {
  std::string text;
  std::optional<Reference> expected;
};

// What gtest shows for a row (and CTest puts beside its name): the text, not its bytes.
void PrintTo(const ParseCase& row, std::ostream* out) {
  *out << '"' << row.text << '"';
}

class ParseReferenceTest : public ::testing::TestWithParam<ParseCase> {};

// "Case7_LIB_3_7_": the row's number and its text with every other character than a letter or a
// digit as "_", so that a failing row names itself.
std::string CaseName(const ::testing::TestParamInfo<ParseCase>& info) {
  std::string name = "Case" + std::to_string(info.index) + "_";
  for (const char c : info.param.text) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    name += plain ? c : '_';
  }
  return name;
}

TEST_P(ParseReferenceTest, ReadsLibraryAndEntry) {
  const ParseCase& row = GetParam();
  const std::optional<Reference> parsed = ParseReference(row.text);
  ASSERT_EQ(parsed.has_value(), row.expected.has_value()) << row.text;
  if (parsed) {
    EXPECT_EQ(parsed->library, row.expected->library) << row.text;
    EXPECT_EQ(parsed->entry, row.expected->entry) << row.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseReferenceTest,
    ::testing::Values(
        ParseCase{"LIB[3,7]", Reference{3, 7}},
        ParseCase{"LIBRARY [3,7]", Reference{3, 7}},  // only the first three letters count
        ParseCase{"LIB[ 3,7]", Reference{3, 7}},      // blanks in front are skipped
        ParseCase{"LIB[3,7 ]", Reference{3, 7}},      // m's failure is not tested
        ParseCase{"LIB[3,7x]", Reference{3, 7}},
        ParseCase{"LIB[3,-7x]", Reference{3, 7}},  // a failed m loses its sign
        ParseCase{"LIB[3,-7]", Reference{3, -7}}, ParseCase{"LIB[$03,7]", Reference{3, 7}},
        ParseCase{"LIB[0x1A,2]", Reference{26, 2}}, ParseCase{"LIB[3,$0A]", Reference{3, 10}},
        ParseCase{"LIB[-1,2]", Reference{-1, 2}}, ParseCase{"LIB[259,2]", Reference{259, 2}},
        ParseCase{"LIB[3,7", Reference{3, 0}},    // no "]": m is empty
        ParseCase{"LIB]x[3,7", Reference{3, 0}},  // "]" before ",": m is empty
        ParseCase{"LIB[3,7] see also LIB[4,2]", Reference{3, 7}},
        ParseCase{"LIB[3,]", Reference{3, 0}},
        // Not references: nothing is loaded for these.
        ParseCase{"lib[3,7]", std::nullopt}, ParseCase{" LIB[3,7]", std::nullopt},
        ParseCase{"LIB[3 ,7]", std::nullopt},  // a blank after n fails its conversion
        ParseCase{"LIB[3;7]", std::nullopt},   // no comma
        ParseCase{"LIB3,7", std::nullopt},     // no "[": the piece starts with LIB
        ParseCase{"LIB,[3,7]", std::nullopt},  // "[" after the first ",": empty piece
        ParseCase{"LIB[,7]", std::nullopt}, ParseCase{"LIB[x3,7]", Reference{3, 7}},
        ParseCase{"LIB[y3,7]", std::nullopt}, ParseCase{"LIB[99999999999,7]", std::nullopt},
        ParseCase{"", std::nullopt}, ParseCase{"LI", std::nullopt}),
    CaseName);

}  // namespace
}  // namespace core
