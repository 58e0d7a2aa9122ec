#include "mesh/record_vector.h"

#include <gtest/gtest.h>

namespace {

struct Rec {
    int a = 0;
    float b = 0;
};
using Small = qel::RecordVector<Rec, 2>;  // blocks of 4 records

TEST(RecordVector, GrowsInBlocksWithoutMovingRecords) {
    Small v;
    const Rec* first = &v.push_back(Rec{-1, 0});
    for (int i = 0; i < 1003; ++i) {
        const Rec* added = &v.push_back(Rec{i, i * 0.5f});
        EXPECT_EQ(added, &v[i + 1]);
    }
    EXPECT_EQ(first, &v[0]);
    EXPECT_EQ(v.capacity(), 1004u);
    v.push_back(v[2]);  // a record of the vector itself when a new block opens
    EXPECT_EQ(v[1004].a, 1);
    const Rec* keep = &v[1];
    v.resize(3);
    EXPECT_EQ(v.capacity(), 4u);  // surplus blocks freed
    EXPECT_EQ(keep, &v[1]);
    v.resize(6, Rec{7, 0});
    EXPECT_EQ(v[2].a + v[5].a, 1 + 7);
    int total = 0;
    v.forRange(4, 100, [&](Rec& r) { total += r.a; });  // clipped at the end
    EXPECT_EQ(total, 7 + 7);
    v.clear();
    v.reserve(9);
    EXPECT_EQ(v.capacity(), 12u);
}

}  // namespace
