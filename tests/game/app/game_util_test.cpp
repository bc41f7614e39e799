#include "game/app/game_util.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/random.h"

TEST(GameUtil, SanitizeName) {
    EXPECT_EQ(SanitizeName(u"  ^Jo^hn   ^ Sm\u00eftH  "), u"John Sm\u00eftH");
    EXPECT_EQ(SanitizeName(u"^^ ^ "), u"");
    EXPECT_EQ(SanitizeName(u"a\tb"), u"a\tb");
}

TEST(GameUtil, RandomIntStaysInTheClosedRange) {
    EXPECT_EQ(RandomIntForDraw(0, 9, 0), 0);
    EXPECT_EQ(RandomIntForDraw(0, 9, 32766), 9);
    EXPECT_EQ(RandomIntForDraw(0, 9, 32767), 9);  // the bare formula gives 10
    EXPECT_EQ(RandomIntForDraw(2, 4, 32767), 4);
    EXPECT_EQ(RandomIntForDraw(5, 5, 32767), 5);
    // A reversed range keeps the formula: draws lie in [b + 1, a].
    EXPECT_EQ(RandomIntForDraw(9, 0, 0), 9);
    EXPECT_EQ(RandomIntForDraw(9, 0, 1), 8);
    EXPECT_EQ(RandomIntForDraw(9, 0, 32767), 1);
    EXPECT_EQ(RandomIntForDraw(INT_MIN, INT_MAX, 32767), INT_MAX);
    EXPECT_EQ(RandomIntForDraw(INT_MIN, INT_MAX, 0), INT_MIN);
    bool seen[3] = {};
    for (int r = 0; r <= platform::kRandMax; ++r) {
        int v = RandomIntForDraw(1, 3, r);
        ASSERT_GE(v, 1);
        ASSERT_LE(v, 3);
        seen[v - 1] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
}

TEST(GameUtil, RandomRangesUseTheGameGenerator) {
    uint32_t seed = 0;
    while (platform::Random15(seed).Next() != platform::kRandMax) ++seed;
    platform::SeedRand(seed);
    EXPECT_EQ(RandomIntInRange(0, 9), 9);
    platform::SeedRand(seed);
    EXPECT_EQ(RandomFloatInRange(2.0f, 4.0f), 4.0f);
    platform::SeedRand(seed);
    EXPECT_EQ(RandomFloatInRange(-1.0f, 1.0f), 1.0f);
}
