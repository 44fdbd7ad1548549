#include <gtest/gtest.h>

#include <string>

#include "player/file_names.h"

namespace {

TEST(FileNames, FormsOffsetsAndTheExtensionRule) {
  const std::string longName(CommandLineChars - 1, 'n');
  const struct { std::string name; int ok; MovieNameKind kind; std::string path; uint64_t offset; } cases[] = {
      {"clip", 1, MovieNamePlain, "clip.vxa", 0}, {"clip.old", 1, MovieNamePlain, "clip.old", 0},
      {"d.x\\clip", 1, MovieNamePlain, "d.x\\clip.vxa", 0}, {"d.x/clip", 1, MovieNamePlain, "d.x/clip.vxa", 0},
      {"c:clip", 1, MovieNamePlain, "c:clip.vxa", 0}, {longName, 1, MovieNamePlain, longName + ".vxa", 0},
      {":123", 1, MovieNameOwnProgram, "", 123}, {"data.pak|4096", 1, MovieNameInFile, "data.pak", 4096},
      {":9223372036854775807", 1, MovieNameOwnProgram, "", INT64_MAX},
      {":9223372036854775808", 0, MovieNameOwnProgram, "", 0}, {":", 0, MovieNameOwnProgram, "", 0},
      {":12x", 0, MovieNameOwnProgram, "", 0}, {"a|", 0, MovieNameInFile, "a", 0},
      {"a|-1", 0, MovieNameInFile, "a", 0}, {"a| 1", 0, MovieNameInFile, "a", 0},
  };
  for (const auto& c : cases) {
    MovieName name;
    EXPECT_EQ(SplitMovieName(c.name.c_str(), &name), c.ok) << c.name;
    EXPECT_EQ(name.Kind, c.kind) << c.name;
    EXPECT_EQ(name.Path, c.path) << c.name;
    EXPECT_EQ(name.Offset, c.offset) << c.name;
  }
}

TEST(FileNames, TitleIsTheLastComponent) {
  const struct { const char* name; size_t capacity; const char* want; } cases[] = {
      {"c:\\films\\clip.vxa", WindowTitleChars, "clip.vxa - Vexa Video Player"},
      {"a/b.vxa", WindowTitleChars, "b.vxa - Vexa Video Player"}, {"x:y", 6, "y - V"}, {"clip.vxa", 3, "cl"},
  };
  for (const auto& c : cases) {
    char title[WindowTitleChars];
    MakeWindowTitle(c.name, title, c.capacity);
    EXPECT_STREQ(title, c.want) << c.name;
  }
}

}  // namespace
