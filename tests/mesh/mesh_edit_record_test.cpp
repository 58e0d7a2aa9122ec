// Random edit sequences on the primitives: after every edit the saved
// record loads back into the record saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "mesh/mesh_util.h"
#include "scene/sculptor.h"
#include "support/sanitizer.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;
using meshtest::primitive;
using meshtest::surfacePoint;

namespace {

float unit(std::mt19937& rng) { return float(rng() >> 8) * 0x1p-24f; }

vec3 randomDirection(std::mt19937& rng) {
    for (;;) {
        const vec3 d(2 * unit(rng) - 1, 2 * unit(rng) - 1, 2 * unit(rng) - 1);
        const float l = length(d);
        if (l > 0.1f && l <= 1) return d * (1 / l);
    }
}

// The record as saved.
std::vector<unsigned char> saved(Mesh& m) {
    buffer b;
    m.DataWrite(b);
    return std::vector<unsigned char>(b.data(), b.data() + b.size());
}

// Saved, loaded into a fresh mesh and saved again: the two records agree.
bool savesAsItLoads(Mesh& m, std::string& why) {
    const std::vector<unsigned char> first = saved(m);
    buffer in;
    m.DataWrite(in);
    std::uint32_t tag = 0, length = 0;
    in.readRecordHeader(tag, length);
    const std::int32_t version = FILE_VERSION;
    FILE_VERSION = FILE_VERSION_WRITTEN;
    Mesh back;
    back.DataRead(in);
    FILE_VERSION = version;
    back.initialize(Element::ResizeKeep);
    const std::vector<unsigned char> second = saved(back);
    if (first == second) return true;
    why = std::to_string(first.size()) + " bytes saved, " + std::to_string(second.size()) + " after a load";
    return false;
}

SBrush brushAt(const Mesh& m, std::mt19937& rng, float radius) {
    SBrush b;
    int f = int(rng() % unsigned(m.faceCount()));
    while (!m.faces[f].isActive()) f = (f + 1) % m.faceCount();
    const MeshFace& F = m.faces[f];
    const float a = unit(rng), c = unit(rng) * (1 - a);
    const vec3 p0 = m.vertices[F.v[0]].position, p1 = m.vertices[F.v[1]].position, p2 = m.vertices[F.v[2]].position;
    b.point = p0 + (p1 - p0) * a + (p2 - p0) * c;
    b.normal = F.normal;
    b.itemId = f;
    b.radius = radius;
    b.material = pbr(wvec4(std::uint16_t(rng()), 0, 40000, 65535), wvec4(0, 0, 0, 65535), 100, 0);
    return b;
}

const int kActions[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  12, 13, 14, 15, 20, 21, 22, 23, 24, 25,
                        26, 27, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45,
                        47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 67, 68, 69, 70, 71};

// One stroke of the action: a press, a few steps near the first sample, a
// release; cut short, the release never comes (what the stroke left open is
// what is saved).
void randomStroke(Mesh& m, std::mt19937& rng, int action, bool cutShort = false) {
    Sculptor s;
    s.action = Sculptor::TAction(action);
    s.select = Sculptor::TSelect(rng() % 4);
    s.viewDirection = randomDirection(rng);
    const float radius = 0.1f + 0.5f * unit(rng);
    std::vector<Sculptor*> list{&s};
    s.state = Gesture::Started;
    s.samples.push_back(brushAt(m, rng, radius));
    m.sculpt(list);
    s.state = Gesture::Moving;
    const int steps = 1 + int(rng() % 4);
    for (int i = 0; i < steps && m.faceCount() > 0; ++i) {
        SBrush next = i == steps - 1 && rng() % 2 ? brushAt(m, rng, radius) : s.samples.back();
        if (next.point == s.samples.back().point) next.point += randomDirection(rng) * (0.3f * radius);
        s.samples.push_back(next);
        if (i == steps - 1 && !cutShort) s.end();
        m.sculpt(list);
    }
}

// Vertices from which a mesh's lists count as scattered when their order
// is far from the surface's (and are then put in space order).
constexpr int LargeMesh = 65536;

// A primitive subdivided until a pattern adding `extra` vertices a face
// makes it large, by a little: each step triples (sqrt(3)) or quadruples the
// faces, whichever is enough.
Mesh* finePrimitive(int which, int extra) {
    Mesh* m = primitive(which);
    auto patterned = [&](int times) { return m->vertexCount() + times * extra * m->faceCount(); };
    while (patterned(1) <= LargeMesh) {
        if (patterned(3) > LargeMesh)
            m->subdivideSqrt3();
        else
            m->subdivide(false);
    }
    return m;
}

// One random edit: a stroke of the action (cut short: no release, and then
// half the time clearStroke as the view calls it before the next stroke)
// or, for a pick past the actions, one of the plane cuts called directly.
// Tells what it did.
std::string randomEdit(Mesh& m, std::mt19937& rng, int pick, bool cutShort) {
    if (pick < int(std::size(kActions))) {
        randomStroke(m, rng, kActions[pick], cutShort);
        if (cutShort && rng() % 2) m.clearStroke();
        return "action " + std::to_string(kActions[pick]) + (cutShort ? ", cut short" : "");
    }
    SBrush F = brushAt(m, rng, 1);
    if (rng() % 2) F.point = surfacePoint(m, rng);
    const vec3 n = normalize(cross(randomDirection(rng), F.point - surfacePoint(m, rng)));
    if (pick % 4 == 0) m.cutPlane(F.point, n);
    if (pick % 4 == 1) m.cutPlaneF(F.point, n, F.itemId);
    if (pick % 4 == 2) m.cutPlaneG_(F.point, n, F.itemId);
    if (pick % 4 == 3) m.cutPlaneF(F.point, n, -1);
    return "plane cut " + std::to_string(pick % 4);
}

TEST(MeshEditRecords, EveryEditSavesAsItLoads) {
    // Random strokes of every sculpt action and scope, a third of them cut
    // short (a stroke then leaves its selection open), and the plane cuts
    // called directly, on the primitives; after each, the saved record
    // loads back into the same record. Then patterns that make a fine
    // primitive large (its lists may then count as scattered), each followed
    // by one more edit.
    std::mt19937 rng(5);
    int trips = 0, failed = 0;
    auto savedAsLoaded = [&](MeshPtr& m, int i, const std::string& what) {
        ++trips;
        std::string why;
        if (savesAsItLoads(*m, why)) return;
        ++failed;
        ADD_FAILURE() << "edit " << i << " (" << what << "): " << why;
        m.reset();
    };
    MeshPtr m;
    const int edits = tltest::sanitizedRounds(3000);
    for (int i = 0; i < edits && failed < 3; ++i) {
        if (i % 12 == 0 || !m || m->faceCount() < 8 || m->faceCount() > 6000) m.reset(primitive(int(rng() % 9)));
        const int pick = int(rng() % (std::size(kActions) + 4));
        const std::string what = randomEdit(*m, rng, pick, rng() % 3 == 0);
        savedAsLoaded(m, i, what);
    }
    // One pattern of each panel builder, the last with holes.
    const int builders[][2] = {{67, 3}, {69, 3}, {71, 6}};  // action, vertices its panel adds
    for (int i = 0; i < 3 && failed < 3; ++i) {
        m.reset(finePrimitive(i, builders[i][1]));
        const int pattern = int(std::find(std::begin(kActions), std::end(kActions), builders[i][0]) - kActions);
        const std::string what = "large mesh, " + randomEdit(*m, rng, pattern, false);
        ASSERT_GT(m->vertexCount(), LargeMesh) << what;
        savedAsLoaded(m, i, what);
        // One more edit, of those that do not multiply the faces again.
        int pick = 0;
        do pick = int(rng() % (std::size(kActions) + 4));
        while (pick < int(std::size(kActions)) && (kActions[pick] == Sculptor::Subdivide || kActions[pick] >= 67));
        if (m) savedAsLoaded(m, i, what + " then " + randomEdit(*m, rng, pick, rng() % 3 == 0));
    }
    RecordProperty("roundTrips", trips);
}

}  // namespace
