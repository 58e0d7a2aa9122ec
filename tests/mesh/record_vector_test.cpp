#include "mesh/record_vector.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Rec {
    int a = 0;
    float b = 0;
};
using Small = qel::RecordVector<Rec, 2>;  // blocks of 4 records

TEST(RecordVector, GrowsInBlocksWithoutMovingRecords) {
    Small v;
    EXPECT_EQ(v.begin(), v.end());
    const Rec* first = &v.push_back(Rec{-1, 0});
    for (int i = 0; i < 1003; ++i) {
        const Rec* added = &v.push_back(Rec{i, i * 0.5f});
        EXPECT_EQ(added, &v[i + 1]);
    }
    EXPECT_EQ(first, &v[0]);
    EXPECT_EQ(v[37].b, 18.0f);
    EXPECT_EQ(v.capacity(), 1004u);
    v.push_back(v[2]);  // a record of the vector itself when a new block opens
    EXPECT_EQ(v[1004].a, 1);
    const Rec* keep = &v[1];
    v.resize(3);
    EXPECT_EQ(v.capacity(), 4u);  // surplus blocks freed
    EXPECT_EQ(keep, &v[1]);
    v.resize(6, Rec{7, 0});
    EXPECT_EQ(v[2].a + v[5].a, 1 + 7);
    v.clear();
    v.reserve(9);
    EXPECT_EQ(v.capacity(), 12u);
}

TEST(RecordVector, CopiesSortsAndClippedRanges) {
    Small v;
    for (int i = 10; i >= 0; --i) v.push_back(Rec{i, 0});
    Small c(v), d(v);
    c[3].a = 99;  // a deep copy
    for (int i = 0; i < 20; ++i) d.push_back(Rec{});
    d = v;  // surplus blocks freed
    d = static_cast<const Small&>(d);
    std::sort(d.begin(), d.end(), [](const Rec& x, const Rec& y) { return x.a < y.a; });
    for (int i = 0; i < 11; ++i) EXPECT_EQ(d[i].a, i);
    EXPECT_EQ(v[3].a, 7);
    EXPECT_EQ(d.capacity(), 12u);
    int total = 0;
    d.forRange(3, 9, [&](Rec& r) { total += r.a; });
    d.forRange(9, 100, [&](const Rec& r) { total += 100 * r.a; });  // clipped at the end
    EXPECT_EQ(total, 3 + 4 + 5 + 6 + 7 + 8 + 900 + 1000);
    const Small e(std::move(d));
    EXPECT_EQ(e.size(), 11u);
    EXPECT_EQ(d.size(), 0u);
}

}  // namespace
