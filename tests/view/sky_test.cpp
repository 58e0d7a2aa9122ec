#include "view/sky.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qel;

TEST(Sky, LevelRunsFromLayersFourAndFiveToTheLastAndTheLensFollowsTheFieldOfView) {
    const vec3 sharp = skyLevel(0, 64), between = skyLevel(33, 64), blurred = skyLevel(100, 64);
    EXPECT_TRUE(sharp.x == 4 && sharp.y == 5 && sharp.z == 0);
    EXPECT_TRUE(between.x == 23 && between.y == 24 && std::fabs(between.z - 0.8f) < 1e-4f);
    EXPECT_TRUE(blurred.x == 64 && blurred.y == 64 && blurred.z == 0);
    EXPECT_NEAR(skyLens(true, 60), std::sqrt(3.0f), 1e-5f);
}
