// A start on a directory: its catalogue file, or that of its utils directory.
#include "viewer/core/start_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "startup/directory_lookup.h"
#include "startup/startup_sequence.h"
#include "support/library_directory.h"

namespace viewer {
namespace {

TEST(CatalogueFileOf, FindsTheCatalogueInTheDirectoryOrItsUtils) {
  struct Case {
    const char* what;
    const char* file;      // created inside the directory ("" for none)
    const char* expected;  // after the directory; "" for none
  };
  const Case cases[] = {
      {"the catalogue itself", "KL700.DAT", "/KL700.DAT"},
      {"the catalogue in lower case", "kl700.dat", "/KL700.DAT"},
      {"a utils directory", "utils/KL700.DAT", "/utils/KL700.DAT"},
      {"a utils directory in another case", "UTILS/Kl700.Dat", "/UTILS/KL700.DAT"},
      {"a utils directory without a catalogue", "utils/KL701.DAT", ""},
      {"only another library", "KL71A.DAT", ""},
      {"a directory named like the catalogue", "KL700.DAT/x", ""},
      {"nothing", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const kl7test::LibraryDirectory directory;
    const std::filesystem::path file = std::filesystem::path(directory.Path()) / c.file;
    if (*c.file != '\0') {
      std::filesystem::create_directories(file.parent_path());
      std::ofstream(file) << "x";
    }
    const std::optional<std::string> found = CatalogueFileOf(directory.Path(), '/');
    EXPECT_EQ(found.value_or(""), *c.expected == '\0' ? "" : directory.Path() + c.expected);
  }
}

TEST(CatalogueFileOf, StartsAsOnTheCatalogue) {
  const kl7test::LibraryDirectory directory;
  std::filesystem::create_directories(std::filesystem::path(directory.Path()) / "Utils");
  std::ofstream(std::filesystem::path(directory.Path()) / "Utils" / "KL700.DAT") << "x";
  const StartArguments start = ArgumentsForStart({directory.Path() + "/"}, true, '/');
  ASSERT_TRUE(start.arguments && start.arguments->size() == 1);
  const std::optional<std::string> file = start.arguments->front();
  startup::FileSystemLookup lookup;
  const startup::StartupOutcome outcome =
      startup::RunStartup({*file}, startup::PathStyle::kPosix, lookup);
  ASSERT_TRUE(outcome.values) << outcome.reason;
  EXPECT_EQ(outcome.values->CurrentLibrary, 0);
  EXPECT_EQ(outcome.values->settings.Read(startup::kUtilsKey), directory.Path() + "/Utils/");
}

// Only a directory alone is taken for its catalogue; one without a catalogue is refused in one
// line that names it with its controls escaped.
TEST(ArgumentsForStart, TakesADirectoryAloneForItsCatalogue) {
  const kl7test::LibraryDirectory directory;
  const std::vector<std::string> two = {directory.Path(), "x"};
  EXPECT_EQ(ArgumentsForStart(two, false, '/').arguments, two);
  EXPECT_EQ(ArgumentsForStart({"KL701.DAT"}, false, '/').arguments,
            std::vector<std::string>{"KL701.DAT"});
  const StartArguments refused = ArgumentsForStart({directory.Path() + "\n"}, true, '/');
  EXPECT_FALSE(refused.arguments);
  EXPECT_TRUE(refused.refusal.starts_with("'")) << refused.refusal;
  EXPECT_TRUE(refused.refusal.ends_with(
      directory.Path() +
      "\\x0a' is a directory without KL700.DAT, in it or in a utils directory in it"))
      << refused.refusal;
}

}  // namespace
}  // namespace viewer
