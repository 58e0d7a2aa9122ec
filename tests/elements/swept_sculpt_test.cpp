// Tube and revoluton symmetries and sculpting without a GL context: the
// cell search, the anchors, the copies carried through the edited curve,
// and strokes handed to the curves (checked after every sculpt call).

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"
#include "curves/ucurve.h"
#include "elements/revoluton.h"
#include "elements/swept_anchor.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"

using namespace qel;

namespace {

using Flags = std::array<bool, 6>;

// A curve that records the samples handed to its sculpting (per call, per
// gesture) and the normals handed to its symmetries.
class SpyCurve : public Curve {
public:
    using Curve::Curve;
    std::vector<std::vector<std::vector<SBrush>>> calls;
    std::vector<vec3> normals;

    void sculpt(std::vector<Sculptor*>& s) override {
        calls.emplace_back();
        for (Sculptor* g : s) calls.back().push_back(g->samples);
        Curve::sculpt(s);
    }
    void symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mx, bool my,
                    bool mz, bool rx, bool ry, bool rz, int count, std::vector<vec3>& points, std::vector<mat3>& frames,
                    std::vector<float>& scales, int item, bool section) override {
        normals.push_back(axis);
        Curve::symmetries(list, point, axis, mx, my, mz, rx, ry, rz, count, points, frames, scales, item, section);
    }
};

// n points on a circle of the radius in the XY plane, closed, each vertex
// radius r (a small r makes a resampled copy finer than the curve).
SpyCurve* ring(int n, float radius, float r = 1.0f) {
    std::vector<vec3> p;
    for (int i = 0; i < n; ++i)
        p.emplace_back(radius * std::cos(6.2831853f * i / n), radius * std::sin(6.2831853f * i / n), 0.0f);
    auto* c = new SpyCurve(p, true);
    for (CurveVertex& v : c->vertices) v.radius = r;
    return c;
}
SpyCurve* bent() { return new SpyCurve(std::vector<vec3>{{0, 0, 0}, {1, 0, 0}, {2, 0.5f, 0}, {3, 0.5f, 0}}, false); }
Curve* resampled(Curve* base) { return new UCurve(base, Curve::UniformCurve); }

int item(int e, int f) { return (e << 16) + f; }
bool finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void checkCurve(const Curve* c) {
    if (c == nullptr) return;
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    for (const CurveVertex& v : c->vertices) EXPECT_TRUE(finite(v.position));
}
template <typename E>
void checkCurves(E& e) {
    std::vector<Element*> all;
    e.allElements(all);
    for (Element* a : all) checkCurve(dynamic_cast<Curve*>(a));
    checkCurve(e.working);
}

// An element held by one reference, dropped with its curves.
template <typename E>
struct Held {
    E* e;
    explicit Held(E* made) : e(made) { e->copy(1); }
    Held(Held&& o) noexcept : e(o.e) { o.e = nullptr; }
    Held(const Held&) = delete;
    ~Held() { Element::drop(e); }
    E* operator->() { return e; }
};
// A tube on the bent path (centre and size from its points) with an
// 8-vertex ring of radius 0.5 as profile.
Held<Tube> tube(Curve* path = bent(), Curve* profile = ring(8, 0.5f)) {
    Held<Tube> t(new Tube(path, profile));
    t->initialize(Element::ResizeMean);
    return t;
}
// A revoluton of a profile off the Y axis and a ring section.
Held<Revoluton> revoluton(Curve* profile = nullptr, Curve* section = ring(8, 1.0f)) {
    if (profile == nullptr)
        profile = new SpyCurve(std::vector<vec3>{{1, 0, 0}, {1.5f, 1, 0}, {1.2f, 2, 0.3f}, {1, 3, 0}}, false);
    Held<Revoluton> r(new Revoluton(profile, section));
    r->initialize(Element::ResizeMean);
    return r;
}

// Corner (a, b) of the tube's cell: end a of path edge e, end b of profile
// edge f, in element coordinates.
vec3 tubeCorner(Tube& t, int e, int f, int a, int b) {
    t.path->calculateOrientations(false);
    const int v = t.path->edges[e].v[a];
    const vec3 q = t.profile->vertices[t.profile->edges[f].v[b]].position;
    return tubeGridPoint(t.path->vertexFrame(v), t.path->vertices[v].position, t.profile->toLocal(q));
}
vec3 revCorner(const Curve& profile, const Curve& section, int e, int f, int a, int b) {
    const vec3 q = section.vertices[section.edges[f].v[b]].position;
    return revolve(profile.vertices[profile.edges[e].v[a]].position, section.toLocal(q));
}

struct Sym {
    std::vector<symmetry::TSymmetry> list;
    std::vector<vec3> points;
    std::vector<mat3> frames;
    std::vector<float> scales;
    // The element's copies of p (element coordinates, carried into its
    // normalised frame as the view gives it) with the normal n.
    Sym& run(Element& e, const vec3& p, int id, bool section, Flags f = {}, int count = 3, vec3 n = vec3(0, 0, 1)) {
        e.symmetries(list, e.localMatrix().transformProject(p), n, f[0], f[1], f[2], f[3], f[4], f[5], count, points,
                     frames, scales, id, section);
        return *this;
    }
    // The base operation's copies of the same arguments.
    Sym& plain(Element& e, const vec3& p, bool section, Flags f = {}, int count = 3) {
        Curve c;
        c.symmetries(list, e.localMatrix().transformProject(p), vec3(0, 0, 1), f[0], f[1], f[2], f[3], f[4], f[5],
                     count, points, frames, scales, -1, section);
        return *this;
    }
    bool operator==(const Sym& o) const {
        return list == o.list && points == o.points && frames == o.frames && scales == o.scales;
    }
};

void expectNear(const vec3& a, const vec3& b, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// The gestures of one stroke, sculpted step by step as the view does: one
// per stamp, the picked item on the first one only.
struct Stroke {
    std::vector<std::unique_ptr<Sculptor>> owned;
    std::vector<Sculptor*> list;
    Stroke(const std::vector<vec3>& points, int id, int action, int onSection, float radius = 0.3f) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            owned.push_back(std::make_unique<Sculptor>());
            Sculptor& s = *owned.back();
            s.action = Sculptor::TAction(action);
            s.onSection = std::uint8_t(onSection);
            s.viewDirection = vec3(0, 0, 1);
            s.begin();
            SBrush b;
            b.point = points[i];
            b.radius = radius;
            b.itemId = i == 0 ? id : -1;
            s.samples.push_back(b);
            list.push_back(&s);
        }
    }
    Sculptor& operator[](std::size_t i) { return *owned[i]; }
    void move(const vec3& d) {
        for (auto& s : owned) {
            s->move();
            s->samples.push_back(s->samples.back());
            s->samples.back().point = s->samples.back().point + d;
        }
    }
    void end() {
        for (auto& s : owned) {
            s->end();
            s->samples.push_back(s->samples.back());
        }
    }
    template <typename E>
    void run(E& e) {
        e.sculpt(list);
        checkCurves(e);
    }
};

std::vector<vec3> positions(const Curve& c) {
    std::vector<vec3> p;
    for (const CurveVertex& v : c.vertices) p.push_back(v.position);
    return p;
}

}  // namespace

// ---- Symmetries ----

TEST(SweptSymmetry, CellSearchKeepsTheFirstNearestCandidate) {
    const float w128 = float(128.0 / 511.0);
    struct Case {
        vec3 c00, c10, c01, c11, p;
        float s, t;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {7, 7, 7}, 0, 0},         // all equally near
        {{0, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 1, 0}, {5, 0.25f, 0}, 0, w128},  // s makes no difference
        {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0.25f, 3, 0}, w128, 0},  // t makes no difference
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}, {0, 0, 0}, 0, 0},         // corner C00
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}, {1, 1, 1}, 1, 1},         // corner C11
    };
    for (const Case& c : cases)
        for (const CellPoint& r : {nearestCellPointTube(c.c00, c.c10, c.c01, c.c11, c.p),
                                   nearestCellPointRevoluton(c.c00, c.c10, c.c01, c.c11, c.p)}) {
            EXPECT_EQ(r.s, c.s);
            EXPECT_EQ(r.t, c.t);
        }
    EXPECT_EQ(nearestCellPointTube({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}, {1, 1, 1}).point, vec3(1, 1, 1));
}

TEST(SweptSymmetry, TubeAnchorIsFixedOnThePickedCellUntilTheStrokeEnds) {
    auto t = tube();
    const vec3 c00 = tubeCorner(*t.e, 1, 2, 0, 0);
    Sym a = Sym().run(*t.e, c00, item(1, 2), true);
    const int v0 = t->path->edges[1].v[0];
    EXPECT_EQ(t->anchor, t->path->vertices[v0].position);
    EXPECT_EQ(t->anchorFrame, t->path->vertexFrame(v0));
    const mat3 I = t->anchorFrameInverse * t->anchorFrame;
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(I[k], mat3::Identity()[k], 1e-5f);
    expectNear(t->localMatrix().inverse().transformProject(a.points[0]), c00);

    // Once a stroke runs, another cell's stamp keeps the anchor and its
    // first copy is the picked point itself.
    Stroke s({c00}, item(1, 2), Sculptor::Deform, 1);
    s.run(*t.e);
    const vec3 anchor = t->anchor, off = tubeCorner(*t.e, 2, 5, 1, 1) + vec3(0.05f, 0.1f, 0);
    Sym b = Sym().run(*t.e, off, item(2, 5), true);
    EXPECT_EQ(t->anchor, anchor);
    expectNear(t->localMatrix().inverse().transformProject(b.points[0]), off);
}

TEST(SweptSymmetry, TubeAxisCopiesAreThePathsAndAnchorsFollowThem) {
    const Flags flagSets[] = {
        {}, {true}, {false, true, false, false, false, true}, {true, true, true, true, true, true}};
    for (const Flags& f : flagSets) {
        auto t = tube();
        const vec3 p = tubeCorner(*t.e, 1, 2, 0, 1) * 1.1f;
        Sym got = Sym().run(*t.e, p, item(1, 2), false, f);
        EXPECT_TRUE(got == Sym().run(*t->path, p, item(1, 2), false, f));
        // The anchor's copies are the path's, made in the element's
        // normalised frame like the stamps'.
        const mat4 L = t->localMatrix();
        Sym anchors = Sym().run(*t->path, t->anchor, -1, false, f);
        ASSERT_EQ(t->anchors.size(), anchors.points.size());
        for (std::size_t i = 0; i < anchors.points.size(); ++i)
            EXPECT_EQ(t->anchors[i], L.inverse().transformProject(anchors.points[i]));
        if (f[0]) expectNear(t->anchors[1], vec3(2 * t->centre.x - t->anchor.x, t->anchor.y, t->anchor.z));
    }
}

TEST(SweptSymmetry, RevolutonSectionCopiesPassTheCarriedNormal) {
    struct Case {
        double length2;
        bool unit;
    } cases[] = {{1e-21, false}, {1e-19, true}};
    for (const Case& c : cases) {
        auto r = revoluton(nullptr, ring(8, 1.0f));
        auto* spy = static_cast<SpyCurve*>(r->section);
        const vec3 p = revCorner(*r->profile, *r->section, 1, 3, 0, 0);
        Sym().run(*r.e, p, item(1, 3), true);  // fixes the profile anchor
        const vec3 P = r->profileAnchor;
        EXPECT_EQ(P, r->profile->vertices[r->profile->edges[1].v[0]].position);
        // A normal (0, e, 0) of element coordinates carries to (0, 0, e / r).
        const float rad = float(std::sqrt(double(P.x) * P.x + double(P.z) * P.z));
        const float e = float(std::sqrt(c.length2)) * rad;
        Sym().run(*r.e, p, item(1, 3), true, {}, 3, vec3(0, e / r->size(), 0));
        const vec3 m = spy->normals.back();
        EXPECT_NEAR(length2(m), c.unit ? 1.0 : c.length2, c.unit ? 1e-6 : 1e-23);
    }
}

TEST(SweptSymmetry, RevolutonSectionFirstCopyIsTheCellPointThenThePick) {
    auto r = revoluton();
    const vec3 p = revCorner(*r->profile, *r->section, 2, 4, 0, 0) * 0.5f +
                   revCorner(*r->profile, *r->section, 2, 4, 1, 1) * 0.5f + vec3(0, 0, 0.2f);
    Sym a = Sym().run(*r.e, p, item(2, 4), true);
    const CellPoint q = nearestCellPointRevoluton(
        revCorner(*r->profile, *r->section, 2, 4, 0, 0), revCorner(*r->profile, *r->section, 2, 4, 1, 0),
        revCorner(*r->profile, *r->section, 2, 4, 0, 1), revCorner(*r->profile, *r->section, 2, 4, 1, 1), p);
    const mat4 Li = r->localMatrix().inverse();
    expectNear(Li.transformProject(a.points[0]), q.point);
    r->working = new Curve;  // a stroke under way
    Sym b = Sym().run(*r.e, p, item(2, 4), true);
    expectNear(Li.transformProject(b.points[0]), p);
}

TEST(SweptSymmetry, UnnamedEdgesAndDegenerateAnchorsGiveTheBaseAnswer) {
    const vec3 p(0.5f, 0.2f, 0.1f);
    for (int id : {-1, item(3, 0), item(0, 8), item(1, 0xFFFF)}) {
        for (bool section : {false, true}) {
            auto t = tube();
            Sym().run(*t.e, p, item(1, 2), false, {true});
            ASSERT_FALSE(t->anchors.empty());
            EXPECT_TRUE(Sym().run(*t.e, p, id, section, {true}) == Sym().plain(*t.e, p, section, {true}));
            EXPECT_TRUE(t->anchors.empty());
        }
        auto r = revoluton();
        EXPECT_TRUE(Sym().run(*r.e, p, id, true, {true}) == Sym().plain(*r.e, p, true, {true}));
    }
    // A path vertex of radius 0 makes the anchor frame at it singular; a
    // profile vertex on the axis has no ring.
    auto t = tube();
    t->path->vertices[0].radius = 0.0f;
    t->path->touch();
    const vec3 c = tubeCorner(*t.e, 0, 2, 0, 0);
    EXPECT_TRUE(Sym().run(*t.e, c, item(0, 2), true) == Sym().plain(*t.e, c, true));
    auto r = revoluton(new Curve(std::vector<vec3>{{0, 0, 0}, {1, 1, 0}, {1, 2, 0}}, false));
    const vec3 a = revCorner(*r->profile, *r->section, 0, 2, 0, 0);
    EXPECT_TRUE(Sym().run(*r.e, a, item(0, 2), true) == Sym().plain(*r.e, a, true));
}

// ---- Sculpting ----

TEST(SweptSculpt, TubeAxisStrokeRunsFromTheAnchors) {
    for (int action : {int(Sculptor::Deform), int(Sculptor::Inflate)}) {
        auto* path = bent();
        auto t = tube(path);
        const vec3 p = tubeCorner(*t.e, 1, 2, 0, 0) * 0.6f + tubeCorner(*t.e, 1, 2, 1, 1) * 0.4f;
        Sym sym = Sym().run(*t.e, p, item(1, 2), false, {true});
        ASSERT_EQ(t->anchors.size(), 2u);
        const vec3 q = t->localMatrix().inverse().transformProject(sym.points[1]);
        Stroke s({p, q}, item(1, 2), action, 0);
        const vec3 d(0, 0.2f, 0);
        s.run(*t.e);
        EXPECT_EQ(t->working, t->path);
        EXPECT_TRUE(t->hasAuxiliary());
        s.move(d);
        s.run(*t.e);
        const auto& copies = path->calls.back();
        ASSERT_EQ(copies.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const vec3 start = action == Sculptor::Inflate ? s[i].samples[0].point : t->anchors[i];
            EXPECT_EQ(copies[i][0].point, start);
            expectNear(copies[i][1].point, start + d, 1e-6f);
        }
        s.end();
        s.run(*t.e);
        EXPECT_EQ(t->working, nullptr);
        EXPECT_FALSE(t->hasAuxiliary());
    }
    // Gestures without an anchor are left out.
    auto* path = bent();
    auto t = tube(path);
    const vec3 p = tubeCorner(*t.e, 1, 2, 0, 0);
    Sym().run(*t.e, p, item(1, 2), false);
    Stroke s({p, p, p}, item(1, 2), Sculptor::Deform, 0);
    s.run(*t.e);
    s.move(vec3(0, 0.1f, 0));
    s.run(*t.e);
    EXPECT_EQ(path->calls.back().size(), 1u);
}

TEST(SweptSculpt, ResampledCurvesAreEditedThroughTheirBases) {
    for (bool onSection : {true, false}) {
        auto* base = onSection ? ring(8, 0.5f, 0.05f) : bent();
        if (!onSection)
            for (CurveVertex& v : base->vertices) v.radius = 0.1f;
        auto t = onSection ? tube(bent(), resampled(base)) : tube(resampled(base));
        Curve& chosen = onSection ? *t->profile : *t->path;
        const int k = chosen.edgeCount() / 2;
        const int e = onSection ? 1 : k, f = onSection ? k : 2;
        const int expected = chosen.vertices[chosen.edges[k].v[0]].selection;
        ASSERT_NE(expected, k);
        const vec3 p = tubeCorner(*t.e, e, f, 0, 0);
        Sym().run(*t.e, p, item(e, f), onSection);
        const std::vector<vec3> before = positions(*base);
        Stroke s({p}, item(e, f), Sculptor::Deform, onSection ? 1 : 0, 0.7f);
        s.run(*t.e);
        // The first step's copy named the base edge, and the surface id
        // keeps it for the next steps.
        const int written = s[0].samples[0].itemId;
        EXPECT_EQ(onSection ? (written & 0xFFFF) : (written >> 16), expected);
        s.move(vec3(0, 0, 0.1f));
        s.run(*t.e);
        EXPECT_NE(positions(*base), before);
        s.end();
        s.run(*t.e);
    }
}

TEST(SweptSculpt, EveryStrokeEndsWithoutWorkingCurveAndStartsBackInPlace) {
    struct Case {
        bool revolutonCase;
        int onSection;
    } cases[] = {{false, 0}, {false, 1}, {true, 0}, {true, 1}};
    for (const Case& c : cases) {
        auto t = tube();
        auto r = revoluton();
        Element& e = c.revolutonCase ? static_cast<Element&>(*r.e) : *t.e;
        Curve& target =
            c.revolutonCase ? (c.onSection ? *r->section : *r->profile) : (c.onSection ? *t->profile : *t->path);
        const vec3 p = c.revolutonCase ? revCorner(*r->profile, *r->section, 1, 3, 0, 0) : tubeCorner(*t.e, 1, 3, 0, 0);
        Sym().run(e, p, item(1, 3), c.onSection != 0);
        const std::vector<vec3> before = positions(target);
        Stroke s({p}, item(1, 3), Sculptor::Deform, c.onSection);
        auto sculpt = [&] {
            if (c.revolutonCase)
                s.run(*r.e);
            else
                s.run(*t.e);
        };
        sculpt();  // one sample: the curve's gate stops, the curve is laid and carried back
        EXPECT_TRUE(e.hasAuxiliary());
        const std::vector<vec3> after = positions(target);
        for (std::size_t i = 0; i < before.size(); ++i) expectNear(after[i], before[i]);
        s.move(vec3(0.05f, 0.05f, 0));
        sculpt();
        EXPECT_NE(positions(target), before);
        s.end();
        sculpt();
        EXPECT_FALSE(e.hasAuxiliary());
        EXPECT_EQ(c.revolutonCase ? r->working : t->working, nullptr);
    }
}

TEST(SweptSculpt, RevolutonProfileStrokeMovesItsFirstSampleOntoTheCell) {
    auto r = revoluton();
    const vec3 p = revCorner(*r->profile, *r->section, 1, 3, 0, 0) * 0.7f + vec3(0.1f, 0.1f, 0.1f);
    Stroke s({p}, item(1, 3), Sculptor::Deform, 0);
    s.run(*r.e);
    const CellPoint q = nearestCellPointRevoluton(
        revCorner(*r->profile, *r->section, 1, 3, 0, 0), revCorner(*r->profile, *r->section, 1, 3, 1, 0),
        revCorner(*r->profile, *r->section, 1, 3, 0, 1), revCorner(*r->profile, *r->section, 1, 3, 1, 1), p);
    EXPECT_EQ(s[0].samples[0].point, q.point);
    const Curve& S = *r->section;
    EXPECT_EQ(r->sectionAnchor, S.toLocal(S.vertices[S.edges[3].v[0]].position) * (1.0f - q.t) +
                                    S.toLocal(S.vertices[S.edges[3].v[1]].position) * q.t);
}

TEST(SweptSculpt, PaintOnTheSectionRaisesTheMaterialsRefill) {
    auto r = revoluton();
    const vec3 p = revCorner(*r->profile, *r->section, 1, 3, 0, 0);
    Sym().run(*r.e, p, item(1, 3), true);
    for (std::uint8_t& f : r->vbo.refill) f = 0;
    Stroke s({p}, item(1, 3), Sculptor::PaintMaterial, 1);
    s.run(*r.e);
    s.move(vec3(0.01f, 0, 0));
    s.run(*r.e);
    EXPECT_EQ(r->vbo.refill[SweptBuffers::RefillMaterials], 1);
}

TEST(SweptSculpt, DegenerateAnchorsLeaveTheTargetsUnchanged) {
    auto t = tube();
    t->path->vertices[0].radius = 0.0f;
    t->path->touch();
    const vec3 c = tubeCorner(*t.e, 0, 2, 0, 0);
    Sym().run(*t.e, c, item(0, 2), true);
    auto r = revoluton(new Curve(std::vector<vec3>{{0, 0, 0}, {1, 1, 0}, {1, 2, 0}}, false));
    const vec3 a = revCorner(*r->profile, *r->section, 0, 2, 0, 0);
    Sym().run(*r.e, a, item(0, 2), true);
    const std::vector<vec3> profile = positions(*t->profile), section = positions(*r->section);
    Stroke onTube({c}, item(0, 2), Sculptor::Deform, 1), onRev({a}, item(0, 2), Sculptor::Deform, 1);
    Stroke onAxis({a}, -1, Sculptor::Deform, 0);  // no cell: the section anchor stays on the Y axis
    for (int step = 0; step < 3; ++step) {
        for (Stroke* s : {&onTube, &onRev, &onAxis}) step == 2 ? s->end() : s->move(vec3(0.1f, 0.1f, 0.1f));
        onTube.run(*t.e);
        onRev.run(*r.e);
    }
    EXPECT_EQ(positions(*t->profile), profile);
    EXPECT_EQ(positions(*r->section), section);
    r->sectionAnchor = vec3(0, 0, 1);
    const std::vector<vec3> meridian = positions(*r->profile);
    onAxis.run(*r.e);
    EXPECT_EQ(positions(*r->profile), meridian);
}

TEST(SweptSculpt, AStrokeLeftOpenIsDroppedByTheNext) {
    auto r = revoluton();
    const vec3 p = revCorner(*r->profile, *r->section, 1, 3, 0, 0);
    Sym().run(*r.e, p, item(1, 3), true);
    Stroke open({p}, item(1, 3), Sculptor::Deform, 1);
    open.run(*r.e);
    ASSERT_NE(r->working, nullptr);
    // The section changes meanwhile: a new stroke lays it afresh instead of
    // writing the old geometry back.
    for (CurveVertex& v : r->section->vertices) v.position = v.position * 1.5f;
    const std::vector<vec3> grown = positions(*r->section);
    Stroke next({p}, item(1, 3), Sculptor::Deform, 1);
    next.run(*r.e);
    const std::vector<vec3> now = positions(*r->section);
    for (std::size_t i = 0; i < now.size(); ++i) expectNear(now[i], grown[i]);

    // A tube's owned working curve meets a carrier stroke: it goes, and the
    // path becomes the working curve.
    auto t = tube();
    const vec3 c = tubeCorner(*t.e, 1, 2, 0, 0);
    Sym().run(*t.e, c, item(1, 2), true);
    Stroke section({c}, item(1, 2), Sculptor::Deform, 1), carrier({c}, item(1, 2), Sculptor::Deform, 0);
    section.run(*t.e);
    carrier.move(vec3(0, 0.1f, 0));
    carrier.run(*t.e);
    EXPECT_EQ(t->working, t->path);
}
