// The uniformly resampled curve: resampling, record, resolve and clone.

#include "curves/ucurve.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"
#include "files/element_factory.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/load_budget.h"

using qel::buffer;
using qel::Curve;
using qel::Element;
using qel::UCurve;
using qel::vec3;

namespace {

Curve* straight(float end) { return curvetest::curveOf({vec3(0, 0, 0), vec3(end, 0, 0)}, false).release(); }

// Holds a resampled curve as a tool would: one reference, released at the end.
struct Held {
    UCurve* u;
    explicit Held(UCurve* c) : u(c) { u->copy(1); }
    ~Held() {
        u->release(1);
        delete u;
    }
};

}  // namespace

TEST(UCurve, ResamplesItsBase) {
    Held edgeless(new UCurve(new Curve(), Curve::UniformCurve));
    EXPECT_EQ(edgeless.u->vertexCount(), 0);
    EXPECT_EQ(edgeless.u->edgeCount(), 0);
    EXPECT_EQ(edgeless.u->type, Element::TType::UCurve);

    Held h(new UCurve(straight(10.5f), Curve::UniformCurve));
    EXPECT_EQ(h.u->vertexCount(), 12);
    EXPECT_EQ(curvetest::checkCurveInvariants(*h.u), "");
    EXPECT_EQ(h.u->base->refCount, 1);
    // A change of the base shows at the next touch.
    h.u->base->vertices[1].position.x = 5.5f;
    h.u->touch();
    EXPECT_EQ(h.u->vertexCount(), 7);
    EXPECT_EQ(curvetest::checkCurveInvariants(*h.u), "");
}

TEST(UCurve, EveryResamplingStaysWithinItsChainAndTheBudgetOfALoad) {
    // A base 1000 units long of radius 0 and stored size 1: a thousand
    // spacings when built, and again on every edit (each ends with touch).
    Curve* base = straight(1000.0f);
    for (qel::CurveVertex& v : base->vertices) v.radius = 0.0f;
    base->setSize(1.0f);
    Held h(new UCurve(base, Curve::UniformCurve));
    EXPECT_EQ(h.u->vertexCount(), 1001);
    h.u->base->vertices[1].position.x = 2000.0f;
    h.u->touch();
    EXPECT_EQ(h.u->vertexCount(), 1001);
    {
        // While a file loads, its budget bounds the resampling.
        qel::LoadBudget budget(600);
        h.u->touch();
        EXPECT_EQ(h.u->vertexCount(), 600);
        EXPECT_TRUE(budget.leftOut());
        EXPECT_EQ(budget.samplesLeft(), 0u);
        h.u->touch();
        EXPECT_EQ(h.u->vertexCount(), 0);
    }
    h.u->touch();
    EXPECT_EQ(h.u->vertexCount(), 1001);
    EXPECT_EQ(curvetest::checkCurveInvariants(*h.u), "");
}

TEST(UCurve, CloseGoesToTheBase) {
    Held h(new UCurve(curvetest::curveOf({vec3(0, 0, 0), vec3(6, 0, 0), vec3(3, 5, 0)}, false).release(),
                      Curve::UniformCurve));
    h.u->close();
    EXPECT_EQ(h.u->base->edgeCount(), 3);
    EXPECT_EQ(h.u->edgeCount(), h.u->vertexCount());
    EXPECT_EQ(curvetest::checkCurveInvariants(*h.u), "");
    UCurve none;
    none.close();
    EXPECT_EQ(none.vertexCount(), 0);
}

TEST(UCurve, RecordRoundTrips) {
    Held h(new UCurve(straight(4.0f), Curve::UniformCurve));
    h.u->step = 0.25f;
    h.u->base->id = 7;
    buffer out;
    h.u->DataWrite(out);
    ASSERT_EQ(out.size(), 20);
    std::uint32_t tag = 0, length = 0;
    ASSERT_TRUE(out.readRecordHeader(tag, length));
    EXPECT_EQ(tag, UCurve::RecordTag);
    EXPECT_EQ(length, 12u);
    UCurve back(out);
    EXPECT_FLOAT_EQ(back.step, 0.25f);
    EXPECT_EQ(back.curveType, Curve::UniformCurve);
    EXPECT_EQ(back.baseId, 7);
    EXPECT_EQ(back.base, nullptr);

    UCurve lone;
    buffer o2;
    lone.DataWrite(o2);
    ASSERT_TRUE(o2.readRecordHeader(tag, length));
    UCurve lone2(o2);
    EXPECT_EQ(lone2.baseId, -1);
    buffer shortBody(o2.data(), 4);
    UCurve cut(shortBody);
    EXPECT_EQ(cut.baseId, -1);
}

TEST(UCurve, ResolveAcceptsOnlyPlainCurves) {
    auto mesh = std::make_unique<qel::Mesh>();
    auto plain = std::unique_ptr<Curve>(straight(3.0f));
    auto other = std::make_unique<UCurve>();
    struct Case {
        int baseId;
        bool gets;
    };
    for (const Case& k :
         {Case{0, false}, Case{1, true}, Case{2, false}, Case{3, false}, Case{99, false}, Case{-1, false}}) {
        buffer record;
        record.writeF32(0.0f);
        record.writeU32(2);
        record.writeI32(k.baseId);
        record.seek(0);
        UCurve u(record);
        std::vector<Element*> table = {mesh.get(), plain.get(), other.get(), &u};
        u.resolve(table);
        EXPECT_EQ(u.base != nullptr, k.gets) << k.baseId;
        EXPECT_EQ(u.baseId, -1);
        u.initialize(Curve::ResizeKeep);
        if (k.gets) {
            EXPECT_EQ(u.vertexCount(), 4);
            u.base = nullptr;  // the table owns it here
        } else {
            EXPECT_EQ(u.vertexCount(), 0);
        }
    }
}

TEST(UCurve, ResolveKeepsABaseBuiltInMemory) {
    Held h(new UCurve(straight(3.0f), Curve::UniformCurve));
    Curve* base = h.u->base;
    h.u->resolve({});
    EXPECT_EQ(h.u->base, base);
    h.u->refCount -= 1;
    base->refCount -= 1;
}

TEST(UCurve, CloneHasAnIndependentBase) {
    Held h(new UCurve(straight(6.0f), Curve::UniformCurve));
    Held c(h.u->clone());
    ASSERT_NE(c.u->base, nullptr);
    EXPECT_NE(c.u->base, h.u->base);
    EXPECT_EQ(c.u->vertexCount(), h.u->vertexCount());
    c.u->base->vertices[1].position.x = 3.0f;
    c.u->touch();
    EXPECT_EQ(h.u->base->vertices[1].position.x, 6.0f);
    EXPECT_EQ(h.u->vertexCount(), 7);
    EXPECT_EQ(c.u->vertexCount(), 4);
}

TEST(UCurve, FactoryReadsTheRecordOrRefusesAShortOne) {
    UCurve u;
    u.step = 0.5f;
    buffer file;
    u.DataWrite(file);
    qel::ElementFactory factory;
    for (std::int32_t cut : {12, 8}) {
        file.seek(0);
        file.clearFailure();
        std::uint32_t tag = 0, length = 0;
        ASSERT_TRUE(file.readRecordHeader(tag, length));
        qel::Element* e = nullptr;
        const std::int32_t end = file.cursor() + cut;
        qel::ElementFactory::TResult r;
        {
            const buffer::ReadLimit window(file, end);
            r = factory.read(tag, file, e);
        }
        if (cut == 12) {
            ASSERT_EQ(r, qel::ElementFactory::Built);
            auto* back = dynamic_cast<UCurve*>(e);
            ASSERT_NE(back, nullptr);
            EXPECT_FLOAT_EQ(back->step, 0.5f);
            EXPECT_EQ(file.cursor(), end);
            delete e;
        } else {
            EXPECT_EQ(r, qel::ElementFactory::Refused);
            EXPECT_EQ(e, nullptr);
        }
    }
}

TEST(UCurve, SculptingMovesTheBaseAndThePointsFollow) {
    Held h(new UCurve(straight(6.0f), Curve::UniformCurve));
    qel::Sculptor s;
    s.action = qel::Sculptor::Move;
    s.state = qel::Gesture::Moving;
    s.samples.resize(2);
    s.samples[1].point = vec3(0, 0, 2);
    std::vector<qel::Sculptor*> list = {&s};
    h.u->sculpt(list);
    EXPECT_EQ(curvetest::checkAfterOperation(*h.u->base), "");
    ASSERT_EQ(h.u->vertexCount(), 7);
    for (const qel::CurveVertex& v : h.u->vertices) EXPECT_FLOAT_EQ(v.position.z, 2.0f);
    UCurve none;  // nothing to sculpt
    none.sculpt(list);
    EXPECT_EQ(none.vertexCount(), 0);
}

namespace {

// The base body of the old records: centre, size, a skipped byte, i32
// vertex count, vertices 2 apart along x, i32 edge count, 49-byte edges.
buffer oldBase(std::int32_t vertexCount = 3, int tail = 0) {
    buffer b;
    b.writeVec3(vec3(2, 0, 0));
    b.writeF32(4.0f);
    b.writeU8(0xAB);
    b.writeI32(vertexCount);
    for (int i = 0; i < 3; ++i) {
        b.writeVec3(vec3(2.0f * float(i), 0, 0));
        b.writeF32(1.0f);
        b.writeF32(0.0f);
        b.writeU8(qel::CurveVertex::ActiveBit);
    }
    b.writeI32(2);
    for (int i = 0; i < 2; ++i) {
        b.writeI32(i);
        b.writePbr(qel::pbr());
        b.writeI32(i + 1);
        b.writePbr(qel::pbr());
        b.writeU8(qel::CurveEdge::ActiveBit);
    }
    for (int i = 0; i < tail; ++i) b.writeU8(0xCD);
    return b;
}

// The body of 0xE0000008: a nested record, 8 bytes, the base, `tail` bytes.
buffer oldNested(std::uint32_t nestedTag, const buffer& nested, int tail = 64) {
    buffer b;
    b.writeRecord(nestedTag, nested);
    b.writeBytes("12345678", 8);
    b.writeBuffer(oldBase(3, tail));
    return b;
}

// The old records come from files with 49-byte edge records.
class OldRecords : public testing::Test {
protected:
    void SetUp() override { qel::FILE_VERSION = qel::FILE_VERSION_WRITTEN; }
    void TearDown() override { qel::FILE_VERSION = saved_; }
    qel::ElementFactory factory;

private:
    const std::int32_t saved_ = qel::FILE_VERSION;
};

}  // namespace

TEST_F(OldRecords, HoldTheirBaseAndLeaveTheReaderAfterTheRecord) {
    buffer curve;
    Curve(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0)}, false).DataWrite(curve);
    const std::pair<std::uint32_t, buffer> records[] = {
        {UCurve::OldRecordTag, oldBase()},
        {UCurve::OldNestedRecordTag, oldNested(Curve::RecordTag, buffer(curve.data() + 8, curve.size() - 8))},
        {UCurve::OldNestedRecordTag, oldNested(UCurve::OldRecordTag, oldBase())},
        {UCurve::OldNestedRecordTag, oldNested(0x12345678u, buffer("abc", 3))},
    };
    for (auto [tag, body] : records) {
        const std::int32_t end = body.size();
        body.writeU32(0xFEEDFACEu);  // the next record
        Element* e = nullptr;
        ASSERT_EQ(factory.read(tag, body, e), qel::ElementFactory::Built);
        EXPECT_EQ(body.cursor(), end);
        auto* u = dynamic_cast<UCurve*>(e);
        ASSERT_TRUE(u != nullptr && u->base != nullptr);
        EXPECT_EQ(u->curveType, Curve::UniformCurve);
        EXPECT_EQ(u->id, 0);
        EXPECT_EQ(u->base->vertices[2].position, vec3(4, 0, 0));
        EXPECT_EQ(u->vertexCount(), 5);  // resampled at radius 1
        u->resolve({});                  // keeps the embedded base
        EXPECT_EQ(u->base->refCount, 1);
        Element::drop(u, 1);  // frees the base with it
    }
    // The unknown nested record did not take the factory's placeholder.
    Element* placeholder = nullptr;
    buffer none;
    factory.read(0x12345678u, none, placeholder);
    EXPECT_GT(static_cast<qel::Mesh*>(placeholder)->vertexCount(), 0);
    delete placeholder;
}

TEST_F(OldRecords, DamagedOnesAreRefused) {
    const std::pair<std::uint32_t, buffer> records[] = {
        {UCurve::OldRecordTag, oldBase(-1)},
        {UCurve::OldRecordTag, oldBase(4)},
        {UCurve::OldNestedRecordTag, oldNested(UCurve::OldNestedRecordTag, oldNested(0x1u, buffer()))},
        {UCurve::OldNestedRecordTag, oldNested(Curve::RecordTag, buffer("abc", 3))},
        {UCurve::OldNestedRecordTag, oldNested(0x1u, buffer(), 60)},
    };
    for (auto [tag, body] : records) {
        Element* e = nullptr;
        EXPECT_EQ(factory.read(tag, body, e), qel::ElementFactory::Refused);
        EXPECT_EQ(e, nullptr);
    }
}
