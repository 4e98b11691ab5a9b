// The track map as a person sees it: the SVG is rasterised with ImageMagick's convert and its
// pixels are read where the road, the ground and the marks must be, in east and north.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

struct Colour {
  int r, g, b;
};

// A rendered map, with the picture's own mapping from east and north to pixels.
class Picture {
 public:
  int status = -1;  // the tool's exit status
  int width = 0, height = 0;

  explicit Picture(const std::string& trackLines) {
    static int fileNumber = 0;
    std::string base = writeTrackFile("map" + std::to_string(fileNumber++) + ".tck", trackText(trackLines));
    std::string output;
    status = runCommand(std::string(ZARVANTO_TRACK_TOOL) + " map " + base + " -o " + base + ".svg", &output);
    if (runCommand("convert " + base + ".svg -depth 8 " + base + ".ppm 2>&1", &output) != 0) {
      ADD_FAILURE() << "convert failed: " << output;
      return;
    }
    readViewBox(base + ".svg");
    readPixels(base + ".ppm");
  }

  // The colour at a place of the track; the game's z is minus north.
  Colour at(double east, double north) const {
    int x = int((east - viewX) / viewWidth * width), y = int((-north - viewY) / viewHeight * height);
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    const unsigned char* p = &pixels[3 * (size_t(y) * size_t(width) + size_t(x))];
    return {p[0], p[1], p[2]};
  }

 private:
  double viewX = 0, viewY = 0, viewWidth = 1, viewHeight = 1;
  std::vector<unsigned char> pixels;

  void readViewBox(const std::string& file) {
    std::ifstream in(file);
    std::stringstream svg;
    svg << in.rdbuf();
    std::string text = svg.str();
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match, std::regex("viewBox=\"(\\S+) (\\S+) (\\S+) (\\S+)\"")));
    viewX = std::stod(match[1]);
    viewY = std::stod(match[2]);
    viewWidth = std::stod(match[3]);
    viewHeight = std::stod(match[4]);
  }

  void readPixels(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maximum;
    in >> magic >> width >> height >> maximum;
    in.get();
    ASSERT_EQ(magic, "P6");
    ASSERT_EQ(maximum, 255);
    pixels.resize(3 * size_t(width) * size_t(height));
    in.read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size()));
    ASSERT_TRUE(in.good());
  }
};

::testing::AssertionResult isRoadGrey(Colour c) {
  if (std::abs(c.r - 102) <= 10 && std::abs(c.g - 102) <= 10 && std::abs(c.b - 102) <= 10)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "rgb " << c.r << " " << c.g << " " << c.b;
}

::testing::AssertionResult isGroundGreen(Colour c) {
  if (c.g > 150 && c.g > c.r + 60 && c.g > c.b + 60) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "rgb " << c.r << " " << c.g << " " << c.b;
}

::testing::AssertionResult isFaultRed(Colour c) {
  if (c.r > 180 && c.g < 60 && c.b < 60) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "rgb " << c.r << " " << c.g << " " << c.b;
}

::testing::AssertionResult isCrashOrange(Colour c) {
  if (c.r > 200 && c.g > 90 && c.g < 190 && c.b < 60) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "rgb " << c.r << " " << c.g << " " << c.b;
}

TEST(TrackMap, RoadIsGreyOnTheCentreLineAndGroundGreenAwayFromIt) {
  // Lopsided on purpose, so a map flipped either way puts infield where the road should be.
  Picture map("0 0 0\n0 100 0\n60 100 0\n100 0 0\n");
  ASSERT_EQ(map.status, 0);
  EXPECT_TRUE(isRoadGrey(map.at(0, 25)));
  EXPECT_TRUE(isRoadGrey(map.at(15, 100)));
  EXPECT_TRUE(isRoadGrey(map.at(70, 75)));      // a quarter of the way from waypoint 3 to 4
  EXPECT_TRUE(isRoadGrey(map.at(2.5, 60)));     // within the road's half width of 4
  EXPECT_TRUE(isGroundGreen(map.at(30, 50)));   // infield
  EXPECT_TRUE(isGroundGreen(map.at(8, 60)));    // just past the road's edge
  EXPECT_TRUE(isGroundGreen(map.at(-30, 50)));  // outer ground
  EXPECT_TRUE(isGroundGreen(map.at(120, 120)));
}

TEST(TrackMap, CrossingIsMarkedRedWhereItCrosses) {
  Picture map("0 0 0\n100 100 0\n100 0 0\n0 100 0\n");
  EXPECT_EQ(map.status, 1);
  EXPECT_TRUE(isFaultRed(map.at(50, 50)));
  EXPECT_TRUE(isFaultRed(map.at(25, 75)));  // along the second of the crossing stretches
  EXPECT_FALSE(isFaultRed(map.at(50, 25)));
}

TEST(TrackMap, CloseWaypointsAreJoinedInRed) {
  Picture map("0 0 0\n0 100 0\n100 100 0\n100 0 0\n9 0 0\n");
  EXPECT_EQ(map.status, 1);
  EXPECT_TRUE(isFaultRed(map.at(4.5, 0)));
  EXPECT_FALSE(isFaultRed(map.at(50, 50)));
}

TEST(TrackMap, CrashSlopesAreOrangeAndTheLevelRoadStaysGrey) {
  Picture map("0 0 500\n0 100 500\n100 100 500\n100 0 500\n");
  ASSERT_EQ(map.status, 0);
  EXPECT_TRUE(isCrashOrange(map.at(-30, 50)));
  EXPECT_TRUE(isGroundGreen(map.at(50, 50)));  // the infield is level at the road's height
  EXPECT_TRUE(isRoadGrey(map.at(100, 25)));
}

}  // namespace
