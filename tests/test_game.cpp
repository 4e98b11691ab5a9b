// The shell's pure parts: reading the opponents argument and writing lap times.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>
#include <utility>

#include "app/game.h"
#include "render/render.h"

namespace {

TEST(OpponentArgument, ReadsLikeAtoiButNeverOverflows) {
  for (auto [text, value] : {std::pair{"3", 3},
                             {"  +5", 5},
                             {"-1", -1},
                             {"3x", 3},
                             {"abc", 0},
                             {"", 0},
                             {"- 4", 0},
                             {"2147483647", INT_MAX},
                             {"99999999999999999999", INT_MAX},
                             {"-99999999999999999999", INT_MIN},
                             {"-2147483648", INT_MIN}})
    EXPECT_EQ(readOpponentArgument(text), value) << text;
}

TEST(LapTimeText, MinutesAndUnpaddedSeconds) {
  // The largest time still written out fits; a clock that went back truncates towards zero.
  for (auto [seconds, text] : {std::pair{0.0f, "0:0"},
                               {59.99f, "0:59"},
                               {60.0f, "1:0"},
                               {65.0f, "1:5"},
                               {75.9f, "1:15"},
                               {3600.0f, "60:0"},
                               {2147483648.0f, "35791394:8"},
                               {std::numeric_limits<float>::max(), "-"},
                               {-5.5f, "0:-5"}}) {
    char written[16];
    formatTime(seconds, written);
    EXPECT_STREQ(written, text) << seconds;
  }
}

}  // namespace
