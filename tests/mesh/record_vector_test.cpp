#include "mesh/record_vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "mesh/mesh_records.h"

namespace {

struct Rec {
    int a = 0;
    float b = 0;
};
using Small = qel::RecordVector<Rec, 2>;  // blocks of 4 records

TEST(RecordVector, StartsEmpty) {
    Small v;
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.size(), 0u);
    EXPECT_EQ(v.capacity(), 0u);
    EXPECT_EQ(v.begin(), v.end());
}

TEST(RecordVector, IndexesAcrossBlocks) {
    Small v;
    for (int i = 0; i < 37; ++i) v.push_back(Rec{i, i * 0.5f});
    ASSERT_EQ(v.size(), 37u);
    for (int i = 0; i < 37; ++i) {
        EXPECT_EQ(v[i].a, i);
        EXPECT_EQ(v[i].b, i * 0.5f);
    }
    EXPECT_EQ(v.front().a, 0);
    EXPECT_EQ(v.back().a, 36);
    EXPECT_EQ(v.capacity(), 40u);
}

TEST(RecordVector, AppendNeverMovesRecords) {
    Small v;
    v.push_back(Rec{1, 0});
    Rec* first = &v[0];
    std::vector<Rec*> seen;
    for (int i = 0; i < 1000; ++i) seen.push_back(&v.push_back(Rec{i + 2, 0}));
    EXPECT_EQ(first, &v[0]);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[i], &v[i + 1]);
    EXPECT_EQ(first->a, 1);
}

TEST(RecordVector, PushBackOfOwnRecordAtBlockBoundary) {
    Small v;
    for (int i = 0; i < 4; ++i) v.push_back(Rec{i, 0});
    // The next append opens a new block; the argument lives in the old one.
    v.push_back(v[2]);
    EXPECT_EQ(v[4].a, 2);
    v.emplace_back(Rec{9, 1});
    EXPECT_EQ(v[5].a, 9);
}

TEST(RecordVector, CopyAndAssign) {
    Small v;
    for (int i = 0; i < 10; ++i) v.push_back(Rec{i, 0});
    Small c(v);
    ASSERT_EQ(c.size(), 10u);
    c[3].a = 99;
    EXPECT_EQ(v[3].a, 3);  // deep copy
    Small d;
    for (int i = 0; i < 30; ++i) d.push_back(Rec{-i, 0});
    d = v;
    ASSERT_EQ(d.size(), 10u);
    EXPECT_EQ(d[9].a, 9);
    EXPECT_EQ(d.capacity(), 12u);  // surplus blocks freed
    Small& alias = d;
    d = alias;  // self-assignment keeps it
    EXPECT_EQ(d[9].a, 9);
    Small e(std::move(d));
    EXPECT_EQ(e.size(), 10u);
    EXPECT_EQ(d.size(), 0u);
    Small f;
    f = std::move(e);
    EXPECT_EQ(f[5].a, 5);
}

TEST(RecordVector, ResizeShrinksAndGrows) {
    Small v;
    for (int i = 0; i < 10; ++i) v.push_back(Rec{i, 0});
    Rec* keep = &v[1];
    v.resize(3);
    EXPECT_EQ(v.size(), 3u);
    EXPECT_EQ(v.capacity(), 4u);
    EXPECT_EQ(keep, &v[1]);
    v.resize(6, Rec{7, 0});
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[2].a, 2);
    EXPECT_EQ(v[3].a, 7);
    EXPECT_EQ(v[5].a, 7);
    v.pop_back();
    EXPECT_EQ(v.size(), 5u);
    v.clear();
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.capacity(), 0u);
    v.reserve(9);
    EXPECT_EQ(v.capacity(), 12u);
    EXPECT_EQ(v.size(), 0u);
}

TEST(RecordVector, IteratorsAndRanges) {
    Small v;
    for (int i = 0; i < 11; ++i) v.push_back(Rec{10 - i, 0});
    int sum = 0;
    for (const Rec& r : v) sum += r.a;
    EXPECT_EQ(sum, 55);
    std::sort(v.begin(), v.end(), [](const Rec& x, const Rec& y) { return x.a < y.a; });
    for (int i = 0; i < 11; ++i) EXPECT_EQ(v[i].a, i);
    EXPECT_EQ(v.end() - v.begin(), 11);
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
    const Small& cv = v;
    Small::const_iterator it = cv.begin();
    EXPECT_EQ(it[4].a, 4);
}

TEST(RecordVector, MeshRecordsArePlain) {
    static_assert(std::is_trivially_copyable<qel::MeshVertex>::value, "plain vertex");
    static_assert(std::is_trivially_copyable<qel::MeshFace>::value, "plain face");
    qel::RecordVector<qel::MeshFace, 9> faces;
    for (int i = 0; i < 2000; ++i) faces.push_back(qel::MeshFace(i, i + 1, i + 2));
    EXPECT_EQ(faces[1999].v[2], 2001);
    EXPECT_EQ(faces[513].v[0], 513);
}

}  // namespace
