#include <gtest/gtest.h>

#include <string>
#include <tuple>

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
    int ok = SplitMovieName(c.name.c_str(), &name);
    EXPECT_EQ(std::make_tuple(ok, name.Kind, std::string(name.Path), name.Offset),
              std::make_tuple(c.ok, c.kind, c.path, c.offset)) << c.name;
  }
}

TEST(FileNames, TitleIsTheLastComponentCutToTheBuffer) {
  char title[WindowTitleChars], other[WindowTitleChars], cut[6];
  MakeWindowTitle("x/y\\clip.vxa", title, sizeof title);
  MakeWindowTitle("x\\y:z/b.vxa", other, sizeof other);
  MakeWindowTitle("x:y", cut, sizeof cut);
  EXPECT_EQ(std::string(title) + "|" + other + "|" + cut,
            "clip.vxa - Vexa Video Player|b.vxa - Vexa Video Player|y - V");
}

}  // namespace
