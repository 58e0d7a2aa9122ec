#include "mesh/record_vector.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Rec {
    int a = 0;
    float b = 0;
};
using Small = qel::RecordVector<Rec, 2>;  // blocks of 4 records

Small filled(int n) {
    Small v;
    for (int i = 0; i < n; ++i) v.push_back(Rec{i, i * 0.5f});
    return v;
}

TEST(RecordVector, GrowsInBlocksWithoutMovingRecords) {
    Small v;
    EXPECT_EQ(v.begin(), v.end());
    Rec* first = &v.push_back(Rec{-1, 0});
    for (int i = 0; i < 1000; ++i) {
        const Rec* added = &v.push_back(Rec{i, i * 0.5f});
        EXPECT_EQ(added, &v[i + 1]);
    }
    EXPECT_EQ(first, &v[0]);
    EXPECT_EQ(v[37].b, 18.0f);
    EXPECT_EQ(v.capacity(), 1004u);
    // Appending a record of the vector itself when a new block opens.
    Small w = filled(4);
    w.push_back(w[2]);
    EXPECT_EQ(w[4].a, 2);

    Rec* keep = &v[1];
    v.resize(3);
    EXPECT_EQ(v.capacity(), 4u);  // surplus blocks freed
    EXPECT_EQ(keep, &v[1]);
    v.resize(6, Rec{7, 0});
    EXPECT_EQ(v[2].a, 1);
    EXPECT_EQ(v[5].a, 7);
    v.clear();
    v.reserve(9);
    EXPECT_EQ(v.capacity(), 12u);
    EXPECT_EQ(v.size(), 0u);
}

TEST(RecordVector, CopiesAreDeepAndAssignmentTrims) {
    const Small v = filled(10);
    Small c(v);
    c[3].a = 99;
    EXPECT_EQ(v[3].a, 3);
    Small d = filled(30);
    d = v;
    ASSERT_EQ(d.size(), 10u);
    EXPECT_EQ(d[9].a, 9);
    EXPECT_EQ(d.capacity(), 12u);
    Small& alias = d;
    d = alias;
    EXPECT_EQ(d[9].a, 9);
    Small e(std::move(d));
    EXPECT_EQ(e.size(), 10u);
    EXPECT_EQ(d.size(), 0u);
}

TEST(RecordVector, IteratorsAndClippedRanges) {
    Small v = filled(11);
    std::reverse(v.begin(), v.end());
    std::sort(v.begin(), v.end(), [](const Rec& x, const Rec& y) { return x.a < y.a; });
    for (int i = 0; i < 11; ++i) EXPECT_EQ(v[i].a, i);
    int total = 0;
    v.forRange(3, 9, [&](Rec& r) { total += r.a; });
    EXPECT_EQ(total, 3 + 4 + 5 + 6 + 7 + 8);
    total = 0;
    v.forRange(9, 100, [&](const Rec& r) { total += r.a; });  // clipped at the end
    EXPECT_EQ(total, 9 + 10);
}

}  // namespace
