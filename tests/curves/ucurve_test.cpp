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
