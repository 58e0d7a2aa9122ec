// The uniformly resampled curve: resampling, record, resolve and clone.

#include "curves/ucurve.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"
#include "mesh/mesh.h"
#include "scene/buffer.h"
#include "scene/element_factory.h"

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
    s.select = qel::Sculptor::SelectComponent;
    s.state = qel::Gesture::Moving;
    qel::SBrush a, b;
    a.point = vec3(1, 0, 0);
    b.point = vec3(1, 0, 2);
    s.samples = {a, b};
    std::vector<qel::Sculptor*> list = {&s};
    h.u->sculpt(list);
    EXPECT_EQ(h.u->base->vertices[0].position.z, 2.0f);
    ASSERT_EQ(h.u->vertexCount(), 7);
    for (const qel::CurveVertex& v : h.u->vertices) EXPECT_FLOAT_EQ(v.position.z, 2.0f);
    EXPECT_EQ(curvetest::checkAfterOperation(*h.u->base), "");
    EXPECT_EQ(curvetest::checkCurveInvariants(*h.u), "");

    // Without a base there is nothing to sculpt or close.
    UCurve none;
    none.sculpt(list);
    none.close();
    EXPECT_EQ(none.vertexCount(), 0);
}

namespace {

// The body of the old records' base: centre, size, a skipped byte, i32
// vertex count, 21-byte vertices, i32 edge count, 49-byte edges. A chain of
// n vertices 2 apart along x; counts as given.
void writeOldBase(buffer& b, int n, std::int32_t vertexCount, std::int32_t edgeCount) {
    b.writeVec3(vec3(2, 0, 0));
    b.writeF32(4.0f);
    b.writeU8(0xAB);
    b.writeI32(vertexCount);
    for (int i = 0; i < n; ++i) {
        b.writeVec3(vec3(2.0f * float(i), 0, 0));
        b.writeF32(1.0f);
        b.writeF32(0.0f);
        b.writeU8(qel::CurveVertex::ActiveBit);
    }
    b.writeI32(edgeCount);
    for (int i = 0; i + 1 < n; ++i) {
        b.writeI32(i);
        b.writePbr(qel::pbr());
        b.writeI32(i + 1);
        b.writePbr(qel::pbr());
        b.writeU8(qel::CurveEdge::ActiveBit);
    }
}

// A record of the old nested layout around the base: the nested record, 8
// bytes, the base, then `tail` bytes (64 in a sound record).
buffer oldNested(const buffer& nested, int tail) {
    buffer body;
    body.writeBuffer(nested);
    body.writeBytes("12345678", 8);
    writeOldBase(body, 3, 3, 2);
    for (int i = 0; i < tail; ++i) body.writeU8(0xCD);
    body.writeU32(0xFEEDFACEu);  // what follows the record in the file
    return body;
}

// The old records come from files with 49-byte edge records.
class OldRecords : public testing::Test {
protected:
    void SetUp() override { qel::FILE_VERSION = qel::FILE_VERSION_WRITTEN; }
    void TearDown() override { qel::FILE_VERSION = saved_; }

private:
    const std::int32_t saved_ = qel::FILE_VERSION;
};

// The factory's answer for one record body, the cursor where it stopped.
struct Read {
    qel::ElementFactory::TResult result;
    Element* element;
    std::int32_t cursor;
};
Read readRecord(qel::ElementFactory& factory, std::uint32_t tag, buffer& body) {
    body.seek(0);
    body.clearFailure();
    Element* e = nullptr;
    const qel::ElementFactory::TResult r = factory.read(tag, body, e);
    return {r, e, body.cursor()};
}

}  // namespace

TEST_F(OldRecords, HoldTheirBase) {
    buffer nestedCurve;
    Curve(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0)}, false).DataWrite(nestedCurve);
    buffer nestedMesh;
    std::unique_ptr<qel::Mesh>(qel::Mesh::Cube())->DataWrite(nestedMesh);
    buffer nestedUnknown;
    nestedUnknown.writeRecord(0x12345678u, buffer("abc", 3));
    buffer plain;
    writeOldBase(plain, 3, 3, 2);
    const std::int32_t plainSize = plain.size();
    buffer nestedOld;
    nestedOld.writeRecord(UCurve::OldRecordTag, plain);

    struct Case {
        const char* name;
        std::uint32_t tag;
        buffer body;
        std::int32_t end;  // the cursor after a sound record
    };
    std::vector<Case> cases;
    cases.push_back({"embedded", UCurve::OldRecordTag, plain, plainSize});
    for (const buffer* nested : {&nestedCurve, &nestedMesh, &nestedUnknown, &nestedOld})
        cases.push_back(
            {"nested", UCurve::OldNestedRecordTag, oldNested(*nested, 64), nested->size() + 8 + plainSize + 64});

    qel::ElementFactory factory;
    for (Case& k : cases) {
        SCOPED_TRACE(k.name);
        const Read r = readRecord(factory, k.tag, k.body);
        ASSERT_EQ(r.result, qel::ElementFactory::Built);
        EXPECT_EQ(r.cursor, k.end);
        auto* u = dynamic_cast<UCurve*>(r.element);
        ASSERT_NE(u, nullptr);
        EXPECT_EQ(u->curveType, Curve::UniformCurve);
        EXPECT_EQ(u->id, 0);
        ASSERT_NE(u->base, nullptr);
        EXPECT_EQ(u->base->vertexCount(), 3);
        EXPECT_EQ(u->base->vertices[2].position, vec3(4, 0, 0));
        EXPECT_EQ(u->base->size(), 4.0f);
        EXPECT_EQ(u->vertexCount(), 5);  // resampled at radius 1
        EXPECT_EQ(curvetest::checkCurveInvariants(*u), "");
        // Resolving keeps the embedded base.
        u->resolve({});
        EXPECT_EQ(u->base->refCount, 1);
        Element::drop(u, 1);  // frees the base with it
    }
    // A nested unknown record built nothing: the factory's placeholder is
    // still its own.
    Element* placeholder = nullptr;
    buffer none;
    ASSERT_EQ(factory.read(0x12345678u, none, placeholder), qel::ElementFactory::Built);
    EXPECT_GT(static_cast<qel::Mesh*>(placeholder)->vertexCount(), 0);
    delete placeholder;
}

TEST_F(OldRecords, DamagedOnesAreRefused) {
    buffer unknown;
    unknown.writeRecord(0x12345678u, buffer("abc", 3));
    buffer twice;
    twice.writeRecord(UCurve::OldNestedRecordTag, oldNested(unknown, 64));
    buffer longer;
    longer.writeU32(Curve::RecordTag);
    longer.writeU32(1000);
    buffer truncatedNested;
    truncatedNested.writeRecord(Curve::RecordTag, buffer("abc", 3));

    struct Case {
        const char* name;
        std::uint32_t tag;
        buffer body;
    };
    std::vector<Case> cases;
    for (auto counts : {std::pair<int, int>{-1, 2}, {3, -2}, {4, 2}, {3, 3}, {0x7FFFFFFF, 2}}) {
        buffer b;
        writeOldBase(b, 3, counts.first, counts.second);
        cases.push_back({"counts", UCurve::OldRecordTag, b});
    }
    buffer edgeOutside;
    writeOldBase(edgeOutside, 2, 2, 1);
    edgeOutside.patchU32(17 + 4 + 2 * 21 + 4 + 24, 7);
    cases.push_back({"edge names vertex 7", UCurve::OldRecordTag, edgeOutside});
    cases.push_back({"nested twice", UCurve::OldNestedRecordTag, oldNested(twice, 64)});
    cases.push_back({"nested longer than the record", UCurve::OldNestedRecordTag, longer});
    cases.push_back({"nested record damaged", UCurve::OldNestedRecordTag, oldNested(truncatedNested, 64)});
    cases.push_back({"tail short", UCurve::OldNestedRecordTag, oldNested(unknown, 60)});
    for (std::int32_t cut : {0, 4, 16, 17, 40, 60}) {
        buffer whole;
        writeOldBase(whole, 3, 3, 2);
        cases.push_back({"truncated", UCurve::OldRecordTag, buffer(whole.data(), std::size_t(cut))});
    }

    qel::ElementFactory factory;
    for (Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::int32_t size = k.body.size();
        // The tail-short case ends in the 4 bytes after the record; the
        // others read exactly up to the record's end.
        const std::int32_t end = std::string(k.name) == "tail short" ? size - 4 : size;
        const buffer::ReadLimit window(k.body, end);
        const Read r = readRecord(factory, k.tag, k.body);
        EXPECT_EQ(r.result, qel::ElementFactory::Refused);
        EXPECT_EQ(r.element, nullptr);
    }
}
