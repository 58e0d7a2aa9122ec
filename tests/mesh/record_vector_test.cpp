#include "mesh/record_vector.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "mesh/mesh_records.h"

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

TEST(RecordVector, IndexesAcrossBlocksAndNeverMovesRecords) {
    Small v;
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.capacity(), 0u);
    EXPECT_EQ(v.begin(), v.end());
    v.push_back(Rec{-1, 0});
    Rec* first = &v[0];
    for (int i = 0; i < 1000; ++i) {
        Rec* added = &v.push_back(Rec{i, i * 0.5f});
        EXPECT_EQ(added, &v[i + 1]);
    }
    EXPECT_EQ(first, &v[0]);
    EXPECT_EQ(v[37].a, 36);
    EXPECT_EQ(v[37].b, 18.0f);
    EXPECT_EQ(v.back().a, 999);
    EXPECT_EQ(v.capacity(), 1004u);
    // Appending a record of the vector itself when a new block opens.
    Small w = filled(4);
    w.push_back(w[2]);
    EXPECT_EQ(w[4].a, 2);
}

TEST(RecordVector, CopyAssignMoveAndResize) {
    const Small v = filled(10);
    Small c(v);
    c[3].a = 99;
    EXPECT_EQ(v[3].a, 3);  // a deep copy
    Small d = filled(30);
    d = v;
    ASSERT_EQ(d.size(), 10u);
    EXPECT_EQ(d[9].a, 9);
    EXPECT_EQ(d.capacity(), 12u);  // surplus blocks freed
    Small& alias = d;
    d = alias;
    EXPECT_EQ(d[9].a, 9);
    Small e(std::move(d));
    EXPECT_EQ(e.size(), 10u);
    EXPECT_EQ(d.size(), 0u);

    Rec* keep = &e[1];
    e.resize(3);
    EXPECT_EQ(e.capacity(), 4u);
    EXPECT_EQ(keep, &e[1]);
    e.resize(6, Rec{7, 0});
    EXPECT_EQ(e[2].a, 2);
    EXPECT_EQ(e[5].a, 7);
    e.clear();
    EXPECT_EQ(e.capacity(), 0u);
    e.reserve(9);
    EXPECT_EQ(e.capacity(), 12u);
    EXPECT_EQ(e.size(), 0u);
}

TEST(RecordVector, IteratorsAndClippedRanges) {
    Small v = filled(11);
    std::reverse(v.begin(), v.end());
    std::sort(v.begin(), v.end(), [](const Rec& x, const Rec& y) { return x.a < y.a; });
    for (int i = 0; i < 11; ++i) EXPECT_EQ(v[i].a, i);
    int count = 0, total = 0;
    v.forRange(3, 9, [&](Rec& r) {
        ++count;
        total += r.a;
    });
    EXPECT_EQ(count, 6);
    EXPECT_EQ(total, 3 + 4 + 5 + 6 + 7 + 8);
    count = 0;
    v.forRange(9, 100, [&](const Rec&) { ++count; });  // clipped at the end
    EXPECT_EQ(count, 2);

    static_assert(std::is_trivially_copyable<qel::MeshVertex>::value, "plain vertex");
    static_assert(std::is_trivially_copyable<qel::MeshFace>::value, "plain face");
}

}  // namespace
