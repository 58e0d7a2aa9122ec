// Tube and revoluton symmetries and sculpting without a GL context: the
// cell search, the anchors, the copies carried through the edited curve,
// and strokes handed to the curves (every curve checked after each step).

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

// A closed ring of n points of the radius in the XY plane, vertex radii r.
SpyCurve* ring(int n, float radius, float r = 1.0f) {
    std::vector<vec3> p;
    for (int i = 0; i < n; ++i)
        p.emplace_back(radius * std::cos(6.2831853f * i / n), radius * std::sin(6.2831853f * i / n), 0.0f);
    auto* c = new SpyCurve(p, true);
    for (CurveVertex& v : c->vertices) v.radius = r;
    return c;
}
SpyCurve* bent() { return new SpyCurve(std::vector<vec3>{{0, 0, 0}, {1, 0, 0}, {2, 0.5f, 0}, {3, 0.5f, 0}}, false); }
Curve* onAxis() { return new Curve(std::vector<vec3>{{0, 0, 0}, {1, 1, 0}, {1, 2, 0}}, false); }

int item(int e, int f) { return (e << 16) + f; }

void checkCurve(const Curve* c) {
    if (c == nullptr) return;
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    for (const CurveVertex& v : c->vertices)
        EXPECT_TRUE(std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z));
}

// An element held by one reference, dropped with its curves; centre and
// size from its carrier's points.
template <typename E>
struct Held {
    E* e;
    Held(Curve* a, Curve* b) : e(new E(a, b)) {
        e->copy(1);
        e->initialize(Element::ResizeMean);
    }
    Held(Held&& o) noexcept : e(o.e) { o.e = nullptr; }
    ~Held() { Element::drop(e); }
    E* operator->() { return e; }
    E& operator*() { return *e; }
};
Held<Tube> tube(Curve* path = bent(), Curve* profile = ring(8, 0.5f)) { return {path, profile}; }
Held<Revoluton> revoluton(Curve* profile = nullptr) {
    if (profile == nullptr)
        profile = new SpyCurve(std::vector<vec3>{{1, 0, 0}, {1.5f, 1, 0}, {1.2f, 2, 0.3f}, {1, 3, 0}}, false);
    return {profile, ring(8, 1.0f)};
}

// Corner (a, b) of cell (e, f): end a of carrier edge e with end b of
// cross-section edge f, in element coordinates.
vec3 corner(Tube& t, int e, int f, int a, int b) {
    t.path->calculateOrientations(false);
    const int v = t.path->edges[e].v[a];
    const vec3 q = t.profile->vertices[t.profile->edges[f].v[b]].position;
    return tubeGridPoint(t.path->vertexFrame(v), t.path->vertices[v].position, t.profile->toLocal(q));
}
vec3 corner(Revoluton& r, int e, int f, int a, int b) {
    const vec3 q = r.section->vertices[r.section->edges[f].v[b]].position;
    return revolve(r.profile->vertices[r.profile->edges[e].v[a]].position, r.section->toLocal(q));
}
CellPoint cell(Revoluton& r, int e, int f, const vec3& p) {
    return nearestCellPointRevoluton(corner(r, e, f, 0, 0), corner(r, e, f, 1, 0), corner(r, e, f, 0, 1),
                                     corner(r, e, f, 1, 1), p);
}

struct Sym {
    std::vector<symmetry::TSymmetry> list;
    std::vector<vec3> points;
    std::vector<mat3> frames;
    std::vector<float> scales;
    // e's copies of p (element coordinates, given in the frame of `frame`,
    // e by default, as the view gives it) with the normal n.
    Sym& run(Element& e, const vec3& p, int id, bool section, Flags f = {}, vec3 n = vec3(0, 0, 1),
             Element* frame = nullptr) {
        const vec3 q = (frame ? frame : &e)->localMatrix().transformProject(p);
        e.symmetries(list, q, n, f[0], f[1], f[2], f[3], f[4], f[5], 3, points, frames, scales, id, section);
        return *this;
    }
    // The base operation's answer for the same point of e.
    Sym& plain(Element& e, const vec3& p, bool section, Flags f = {}) {
        Curve base;
        return run(base, p, -1, section, f, vec3(0, 0, 1), &e);
    }
    // The first copy back in element coordinates of e.
    vec3 first(const Element& e) const { return e.localMatrix().inverse().transformProject(points[0]); }
    bool operator==(const Sym& o) const {
        return list == o.list && points == o.points && frames == o.frames && scales == o.scales;
    }
};

void expectNear(const vec3& a, const vec3& b, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// The gestures of one stroke as the view makes them, one per stamp with
// the picked item on the first; run sculpts one step.
struct Stroke {
    std::vector<std::unique_ptr<Sculptor>> owned;
    std::vector<Sculptor*> list;
    Stroke(const std::vector<vec3>& points, int id, int action, int onSection, float radius = 0.3f) {
        for (const vec3& p : points) {
            owned.push_back(std::make_unique<Sculptor>());
            Sculptor& s = *owned.back();
            s.action = Sculptor::TAction(action);
            s.onSection = std::uint8_t(onSection);
            s.begin();
            s.samples.resize(1);
            s.samples[0].point = p;
            s.samples[0].radius = radius;
            s.samples[0].itemId = list.empty() ? id : -1;
            list.push_back(&s);
        }
    }
    Sculptor& operator[](std::size_t i) { return *owned[i]; }
    // The next sample, d further on; the last one ends the gestures.
    Stroke& step(const vec3& d, bool last = false) {
        for (auto& s : owned) {
            last ? s->end() : s->move();
            s->samples.push_back(s->samples.back());
            s->samples.back().point = s->samples.back().point + d;
        }
        return *this;
    }
    template <typename E>
    void run(E& e) {
        e.sculpt(list);
        std::vector<Element*> all;
        e.allElements(all);
        for (Element* a : all) checkCurve(dynamic_cast<Curve*>(a));
        checkCurve(e.working);
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
            EXPECT_EQ(r.point, c.s == 1 ? c.c11 : r.point);
        }
}

TEST(SweptSymmetry, AnchorsAreFixedOnThePickedCellUntilTheStrokeEnds) {
    auto t = tube();
    const vec3 c00 = corner(*t, 1, 2, 0, 0);
    const Sym a = Sym().run(*t, c00, item(1, 2), true);
    const int v0 = t->path->edges[1].v[0];
    EXPECT_EQ(t->anchor, t->path->vertices[v0].position);
    EXPECT_EQ(t->anchorFrame, t->path->vertexFrame(v0));
    const mat3 I = t->anchorFrameInverse * t->anchorFrame;
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(I[k], mat3::Identity()[k], 1e-5f);
    expectNear(a.first(*t), c00);
    // Once a stroke runs, a stamp on another cell keeps the anchor and its
    // first copy is the picked point itself.
    Stroke({c00}, item(1, 2), Sculptor::Deform, 1).run(*t);
    const vec3 anchor = t->anchor, off = corner(*t, 2, 5, 1, 1) + vec3(0.05f, 0.1f, 0);
    expectNear(Sym().run(*t, off, item(2, 5), true).first(*t), off);
    EXPECT_EQ(t->anchor, anchor);

    // The revoluton's first copy: the cell's nearest point, then the pick.
    auto r = revoluton();
    const vec3 p = (corner(*r, 2, 4, 0, 0) + corner(*r, 2, 4, 1, 1)) * 0.5f + vec3(0, 0, 0.2f);
    expectNear(Sym().run(*r, p, item(2, 4), true).first(*r), cell(*r, 2, 4, p).point);
    r->working = new Curve;  // a stroke under way
    expectNear(Sym().run(*r, p, item(2, 4), true).first(*r), p);
}

TEST(SweptSymmetry, TubeAxisCopiesAreThePathsAndAnchorsFollowThem) {
    const Flags flagSets[] = {
        {}, {true}, {false, true, false, false, false, true}, {true, true, true, true, true, true}};
    for (const Flags& f : flagSets) {
        auto t = tube();
        const vec3 p = corner(*t, 1, 2, 0, 1) * 1.1f;
        EXPECT_TRUE(Sym().run(*t, p, item(1, 2), false, f) == Sym().run(*t->path, p, item(1, 2), false, f));
        // The anchor's copies are the path's, made in the element's
        // normalised frame as the stamps' are.
        const Sym anchors = Sym().run(*t->path, t->anchor, -1, false, f);
        ASSERT_EQ(t->anchors.size(), anchors.points.size());
        for (std::size_t i = 0; i < anchors.points.size(); ++i)
            EXPECT_EQ(t->anchors[i], t->localMatrix().inverse().transformProject(anchors.points[i]));
        if (f[0]) expectNear(t->anchors[1], vec3(2 * t->centre.x - t->anchor.x, t->anchor.y, t->anchor.z));
    }
}

TEST(SweptSymmetry, RevolutonSectionCopiesPassTheCarriedNormal) {
    for (double l2 : {1e-21, 1e-19}) {
        auto r = revoluton();
        const vec3 p = corner(*r, 1, 3, 0, 0), P = r->profile->vertices[r->profile->edges[1].v[0]].position;
        // A normal (0, e, 0) of element coordinates carries to (0, 0, e / r)
        // at the profile anchor P.
        const float e = float(std::sqrt(l2) * std::sqrt(double(P.x) * P.x + double(P.z) * P.z));
        Sym().run(*r, p, item(1, 3), true, {}, vec3(0, e / r->size(), 0));
        EXPECT_EQ(r->profileAnchor, P);
        const double got = length2(static_cast<SpyCurve*>(r->section)->normals.back());
        EXPECT_NEAR(got, l2 < 1e-20 ? l2 : 1.0, l2 < 1e-20 ? 1e-23 : 1e-6);  // normalised above 1e-20
    }
}

TEST(SweptSymmetry, UnnamedEdgesAndDegenerateAnchorsGiveTheBaseAnswer) {
    const vec3 p(0.5f, 0.2f, 0.1f);
    for (int id : {-1, item(3, 0), item(0, 8), item(1, 0xFFFF)}) {
        for (bool section : {false, true}) {
            auto t = tube();
            Sym().run(*t, p, item(1, 2), false, {true});
            ASSERT_FALSE(t->anchors.empty());
            EXPECT_TRUE(Sym().run(*t, p, id, section, {true}) == Sym().plain(*t, p, section, {true}));
            EXPECT_TRUE(t->anchors.empty());
        }
        auto r = revoluton();
        EXPECT_TRUE(Sym().run(*r, p, id, true, {true}) == Sym().plain(*r, p, true, {true}));
    }
}

// ---- Sculpting ----

TEST(SweptSculpt, TubeAxisStrokeRunsFromTheAnchors) {
    for (int action : {int(Sculptor::Deform), int(Sculptor::Inflate)}) {
        auto* path = bent();
        auto t = tube(path);
        const vec3 p = corner(*t, 1, 2, 0, 0) * 0.6f + corner(*t, 1, 2, 1, 1) * 0.4f, d(0, 0.2f, 0);
        const Sym sym = Sym().run(*t, p, item(1, 2), false, {true});
        ASSERT_EQ(t->anchors.size(), 2u);
        Stroke s({p, t->localMatrix().inverse().transformProject(sym.points[1])}, item(1, 2), action, 0);
        s.run(*t);
        EXPECT_EQ(t->working, t->path);
        EXPECT_TRUE(t->hasAuxiliary());
        s.step(d).run(*t);
        const auto& copies = path->calls.back();
        ASSERT_EQ(copies.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const vec3 start = action == Sculptor::Inflate ? s[i].samples[0].point : t->anchors[i];
            EXPECT_EQ(copies[i][0].point, start);
            expectNear(copies[i][1].point, start + d, 1e-6f);
        }
        s.step(vec3(), true).run(*t);
        EXPECT_EQ(t->working, nullptr);
        EXPECT_FALSE(t->hasAuxiliary());
    }
    // Gestures without an anchor are left out.
    auto* path = bent();
    auto t = tube(path);
    const vec3 p = corner(*t, 1, 2, 0, 0);
    Sym().run(*t, p, item(1, 2), false);
    Stroke s({p, p, p}, item(1, 2), Sculptor::Deform, 0);
    s.run(*t);
    s.step(vec3(0, 0.1f, 0)).run(*t);
    EXPECT_EQ(path->calls.back().size(), 1u);
}

TEST(SweptSculpt, ResampledCurvesAreEditedThroughTheirBases) {
    for (bool onSection : {true, false}) {
        auto* base = onSection ? ring(8, 0.5f, 0.05f) : bent();
        if (!onSection)
            for (CurveVertex& v : base->vertices) v.radius = 0.1f;
        auto* chosen = new UCurve(base, Curve::UniformCurve);
        auto t = onSection ? tube(bent(), chosen) : tube(chosen);
        const int k = chosen->edgeCount() / 2, e = onSection ? 1 : k, f = onSection ? k : 2;
        const int expected = chosen->vertices[chosen->edges[k].v[0]].selection;
        ASSERT_NE(expected, k);
        const vec3 p = corner(*t, e, f, 0, 0);
        Sym().run(*t, p, item(e, f), onSection);
        const std::vector<vec3> before = positions(*base);
        Stroke s({p}, item(e, f), Sculptor::Deform, onSection ? 1 : 0, 0.7f);
        s.run(*t);
        // The first step's copy named the base edge, which the surface id
        // keeps for the next steps.
        const int written = s[0].samples[0].itemId;
        EXPECT_EQ(onSection ? (written & 0xFFFF) : (written >> 16), expected);
        s.step(vec3(0, 0, 0.1f)).run(*t);
        EXPECT_NE(positions(*base), before);
        s.step(vec3(), true).run(*t);
    }
}

TEST(SweptSculpt, EveryStrokeEndsWithoutWorkingCurveAndStartsBackInPlace) {
    for (int kind = 0; kind < 4; ++kind) {
        const bool onRev = kind >= 2;
        const int onSection = kind % 2;
        auto t = tube();
        auto r = revoluton();
        Element& e = onRev ? static_cast<Element&>(*r) : *t;
        Curve& target = onRev ? (onSection ? *r->section : *r->profile) : (onSection ? *t->profile : *t->path);
        const vec3 p = onRev ? corner(*r, 1, 3, 0, 0) : corner(*t, 1, 3, 0, 0);
        Sym().run(e, p, item(1, 3), onSection != 0);
        const std::vector<vec3> before = positions(target);
        Stroke s({p}, item(1, 3), Sculptor::Deform, onSection);
        const auto run = [&] { onRev ? s.run(*r) : s.run(*t); };
        run();  // one sample: the curve's gate stops; laid and carried back
        EXPECT_TRUE(e.hasAuxiliary());
        for (std::size_t i = 0; i < before.size(); ++i) expectNear(target.vertices[i].position, before[i]);
        s.step(vec3(0.05f, 0.05f, 0));
        run();
        EXPECT_NE(positions(target), before);
        s.step(vec3(), true);
        run();
        EXPECT_FALSE(e.hasAuxiliary());
    }
}

TEST(SweptSculpt, RevolutonStrokesPlaceTheirFirstSampleAndPaint) {
    auto r = revoluton();
    const vec3 p = corner(*r, 1, 3, 0, 0) * 0.7f + vec3(0.1f, 0.1f, 0.1f);
    Stroke s({p}, item(1, 3), Sculptor::Deform, 0);
    s.run(*r);
    const CellPoint q = cell(*r, 1, 3, p);
    EXPECT_EQ(s[0].samples[0].point, q.point);
    const Curve& S = *r->section;
    EXPECT_EQ(r->sectionAnchor, S.toLocal(S.vertices[S.edges[3].v[0]].position) * (1.0f - q.t) +
                                    S.toLocal(S.vertices[S.edges[3].v[1]].position) * q.t);
    s.step(vec3(), true).run(*r);

    // Paint on the section raises the materials refill flag.
    Sym().run(*r, q.point, item(1, 3), true);
    for (std::uint8_t& f : r->vbo.refill) f = 0;
    Stroke paint({q.point}, item(1, 3), Sculptor::PaintMaterial, 1);
    paint.run(*r);
    paint.step(vec3(0.01f, 0, 0)).run(*r);
    EXPECT_EQ(r->vbo.refill[SweptBuffers::RefillMaterials], 1);
}

TEST(SweptSculpt, DegenerateAnchorsAnswerPlainlyAndLeaveTheTargetsUnchanged) {
    // A path vertex of radius 0 makes the anchor frame at it singular; a
    // profile vertex on the axis has no ring.
    auto t = tube();
    t->path->vertices[0].radius = 0.0f;
    t->path->touch();
    const vec3 c = corner(*t, 0, 2, 0, 0);
    EXPECT_TRUE(Sym().run(*t, c, item(0, 2), true) == Sym().plain(*t, c, true));
    auto r = revoluton(onAxis());
    const vec3 a = corner(*r, 0, 2, 0, 0);
    EXPECT_TRUE(Sym().run(*r, a, item(0, 2), true) == Sym().plain(*r, a, true));
    const std::vector<vec3> profile = positions(*t->profile), section = positions(*r->section);
    Stroke onTube({c}, item(0, 2), Sculptor::Deform, 1), onRev({a}, item(0, 2), Sculptor::Deform, 1);
    Stroke meridian({a}, -1, Sculptor::Deform, 0);  // no cell: the section anchor stays on the Y axis
    for (int step = 0; step < 3; ++step) {
        for (Stroke* s : {&onTube, &onRev, &meridian}) s->step(vec3(0.1f, 0.1f, 0.1f), step == 2);
        onTube.run(*t);
        onRev.run(*r);
    }
    EXPECT_EQ(positions(*t->profile), profile);
    EXPECT_EQ(positions(*r->section), section);
    r->sectionAnchor = vec3(0, 0, 1);
    const std::vector<vec3> before = positions(*r->profile);
    meridian.run(*r);
    EXPECT_EQ(positions(*r->profile), before);
}

TEST(SweptSculpt, AStrokeLeftOpenIsDroppedByTheNext) {
    auto r = revoluton();
    const vec3 p = corner(*r, 1, 3, 0, 0);
    Sym().run(*r, p, item(1, 3), true);
    Stroke({p}, item(1, 3), Sculptor::Deform, 1).run(*r);
    ASSERT_NE(r->working, nullptr);
    // The section changes meanwhile: the next stroke lays it afresh instead
    // of writing the old geometry back.
    for (CurveVertex& v : r->section->vertices) v.position = v.position * 1.5f;
    const std::vector<vec3> grown = positions(*r->section);
    Stroke({p}, item(1, 3), Sculptor::Deform, 1).run(*r);
    for (std::size_t i = 0; i < grown.size(); ++i) expectNear(r->section->vertices[i].position, grown[i]);
    // A tube's own working curve meets a carrier stroke: it goes, and the
    // path becomes the working curve.
    auto t = tube();
    const vec3 c = corner(*t, 1, 2, 0, 0);
    Sym().run(*t, c, item(1, 2), true);
    Stroke({c}, item(1, 2), Sculptor::Deform, 1).run(*t);
    Stroke({c}, item(1, 2), Sculptor::Deform, 0).step(vec3(0, 0.1f, 0)).run(*t);
    EXPECT_EQ(t->working, t->path);
}
