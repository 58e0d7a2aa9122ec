// Clay on a real context: the sculpting passes by transform feedback, the
// read-back into the mesh behind saves, clones, conversions and
// subdivision, the buffers' life cycle and a save whose read-back fails.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "elements/clay.h"
#include "files/element_factory.h"
#include "gl/buffer.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/resources.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/sculptor.h"
#include "scene/tool.h"
#include "support/gl_fixture.h"

using namespace qel;

namespace {

// A clay of one triangle per given point: corner 0 at the point, the other
// two corners far away (50 units along x and y), so that only the points
// are within a brush's reach.
std::unique_ptr<Clay> pointsClay(const std::vector<vec3>& points) {
    Mesh m;
    for (const vec3& p : points) {
        const int a = m.vertexAdd(p);
        const int b = m.vertexAdd(p + vec3(50, 0, 0));
        const int c = m.vertexAdd(p + vec3(0, 50, 0));
        m.faceAdd(a, b, c);
    }
    return std::unique_ptr<Clay>(new Clay(&m));
}

// The positions of the current buffer, one per corner.
std::vector<vec3> gpuPositions(const Clay& clay) {
    std::vector<vec3> out(std::size_t(clay.vertexCount));
    gl->glBindBuffer(GL_ARRAY_BUFFER, clay.buffers[clay.current]);
    gl->glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(out.size() * sizeof(vec3)), out.data());
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    return out;
}

// The corner holding the point (the first corner equal to it).
std::size_t cornerOf(const std::vector<vec3>& corners, const vec3& p) {
    for (std::size_t i = 0; i < corners.size(); ++i)
        if (corners[i] == p) return i;
    ADD_FAILURE() << "no corner at the point";
    return 0;
}

SBrush sample(const vec3& p, float radius, const vec3& normal = vec3(0, 0, 1)) {
    SBrush s;
    s.point = p;
    s.radius = radius;
    s.normal = normal;
    return s;
}

Sculptor stroke(Sculptor::TAction action, std::vector<SBrush> samples, bool ended = false,
                const vec3& axis = vec3(0, 0, 1)) {
    Sculptor s;
    s.action = action;
    s.samples = std::move(samples);
    s.viewDirection = axis;
    s.state = ended ? Gesture::Ended : Gesture::Moving;
    return s;
}

// Runs one sculpt call of the strokes and returns how far each point moved.
std::vector<vec3> moves(Clay& clay, const std::vector<vec3>& points, std::vector<Sculptor> strokes) {
    EXPECT_TRUE(clay.buildVBO());
    const std::vector<vec3> before = gpuPositions(clay);
    std::vector<Sculptor*> list;
    for (Sculptor& s : strokes) list.push_back(&s);
    clay.sculpt(list);
    const std::vector<vec3> after = gpuPositions(clay);
    std::vector<vec3> out;
    for (const vec3& p : points) {
        const std::size_t k = cornerOf(before, p);
        out.push_back(after[k] - before[k]);
    }
    return out;
}

void expectNear(const vec3& a, const vec3& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-5f) << what;
    EXPECT_NEAR(a.y, b.y, 1e-5f) << what;
    EXPECT_NEAR(a.z, b.z, 1e-5f) << what;
}

// Falloff of the passes for t^2 = r.
float falloff(float r) { return r * (2.0f * std::sqrt(r) - 3.0f) + 1.0f; }

class ClayGL : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        glClearErrors();
    }
    void TearDown() override { EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR)); }
};

}  // namespace

TEST_F(ClayGL, TheSevenProgramsLink) {
    for (Shader* s : {ShaderClay, ShaderClayDeform, ShaderClayDeformVolume, ShaderClayPinch, ShaderClayTwist,
                      ShaderClaySubPlane, ShaderClayFlatten})
        EXPECT_TRUE(s->enable()) << s->name();
}

TEST_F(ClayGL, InflatePushesTheCentreByAThirtiethOfTheRadiusAndNothingAtTheRadius) {
    const std::vector<vec3> points = {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}, {1, 0, 0}};
    auto clay = pointsClay(points);
    const auto d = moves(*clay, points, {stroke(Sculptor::Inflate, {sample({0, 0, 0}, 2.0f)})});
    expectNear(d[0], vec3(0, 0, 2.0f / 30), "centre");
    expectNear(d[1], vec3(), "at the radius");
    expectNear(d[2], vec3(), "beyond");
    expectNear(d[3], vec3(0, 0, 2.0f / 30 * falloff(0.25f)), "half way");
    // Deflate pushes the other way.
    const auto back = moves(*clay, {points[3] + d[3]}, {stroke(Sculptor::Deflate, {sample({0, 0, 0}, 2.0f)})});
    EXPECT_NEAR(back[0].z, -d[3].z, 1e-4f);
}

TEST_F(ClayGL, DeformFallsOffOverTheSquaredRadius) {
    const std::vector<vec3> points = {{0, 0, 0}, {1.5f, 0, 0}};
    auto clay = pointsClay(points);
    const auto d = moves(*clay, points, {stroke(Sculptor::Deform, {sample({0, 0, 0}, 2), sample({0, 0, 1}, 2)})});
    expectNear(d[0], vec3(0, 0, 1), "centre");
    expectNear(d[1], vec3(0, 0, falloff(2.25f / 4)), "three quarters of the radius");
}

TEST_F(ClayGL, SingleSampleStrokesMoveNothing) {
    const std::vector<vec3> points = {{0, 0, 0}, {0.3f, 0.2f, 0.1f}};
    for (Sculptor::TAction action : {Sculptor::Deform, Sculptor::Pinch, Sculptor::Grow, Sculptor::Flatten}) {
        auto clay = pointsClay(points);
        const auto d = moves(*clay, points, {stroke(action, {sample({0, 0, 0}, 1)})});
        for (const vec3& m : d) expectNear(m, vec3(), "single sample");
        EXPECT_EQ(clay->current, 1) << "the pass ran";
    }
}

TEST_F(ClayGL, TwistTurnsBySweptAngleScaledByTheDistanceFromTheFirstSample) {
    // u along x, v at 60 degrees: half a radius away half the angle, a
    // radius or more the whole angle.
    const vec3 q(0.1f, 0, 0);
    for (float reach : {0.5f, 1.0f, 2.0f}) {
        auto clay = pointsClay({q});
        const vec3 v(reach * 0.5f, reach * 0.8660254f, 0);
        const auto d =
            moves(*clay, {q}, {stroke(Sculptor::Twist, {sample({0, 0, 0}, 1), sample({0.5f, 0, 0}, 1), sample(v, 1)})});
        const double angle = std::min(reach, 1.0f) * 3.14159265358979 / 3;
        const vec3 turned(float(0.1 * std::cos(angle)), float(0.1 * std::sin(angle)), 0);
        expectNear(d[0], (turned - q) * falloff(0.01f), "twist");
    }
}

TEST_F(ClayGL, PinchAndGrowSaturateBeforeTheirFactor) {
    const vec3 p(0.5f, 0, 0);
    for (Sculptor::TAction action : {Sculptor::Pinch, Sculptor::Grow}) {
        auto clay = pointsClay({p});
        // A step of 5 radii: intensity 5, clamped to 0.3, times 0.2.
        const auto d = moves(*clay, {p}, {stroke(action, {sample({0, 0, 0}, 1), sample({5, 0, 0}, 1)})});
        const float sign = action == Sculptor::Pinch ? 1.0f : -1.0f;
        expectNear(d[0], vec3(sign * 0.06f * falloff(0.25f) * -0.5f, 0, 0), "pinch");
    }
}

TEST_F(ClayGL, FlattenSaturatesAtFourAndLeavesPointsBelowThePlane) {
    const std::vector<vec3> points = {{0, 0, 0.1f}, {0, 0, -0.1f}, {0.9f, 0, 0.1f}};
    auto clay = pointsClay(points);
    const auto d = moves(*clay, points, {stroke(Sculptor::Flatten, {sample({0, 0, 0}, 1), sample({5, 0, 0}, 1)})});
    // The plane lies 0.02 radius below the first sample.
    expectNear(d[0], vec3(0, 0, -4 * 0.12f), "inside 0.7 radius");
    expectNear(d[1], vec3(), "below the plane");
    const float r = float(std::sqrt(0.81 + 0.12 * 0.12));
    const float s = (r - 0.7f) / 0.3f;
    expectNear(d[2], vec3(0, 0, -4 * (s * s * (2 * s - 3) + 1) * 0.12f), "fading ring");
}

TEST_F(ClayGL, SubPlaneMovesNothingUntilTheGestureEndsThenEverythingInFront) {
    // Stroke along +x seen along z: the plane y = 0, the front y < 0. Every
    // point in front lands on the plane whatever the stroke's length.
    const std::vector<vec3> points = {{0, -2, 0}, {40, -1, 3}, {0, 1, 0}};
    for (const float reach : {0.5f, 1.0f, 2.0f}) {
        auto clay = pointsClay(points);
        const std::vector<SBrush> samples = {sample({0, 0, 0}, 1), sample({reach, 0, 0}, 1)};
        for (const vec3& m : moves(*clay, points, {stroke(Sculptor::SubPlane, samples, false)}))
            expectNear(m, vec3(), "before the end");
        const auto d = moves(*clay, points, {stroke(Sculptor::SubPlane, samples, true)});
        const std::string length = " (stroke " + std::to_string(reach) + ")";
        expectNear(d[0], vec3(0, 2, 0), ("near" + length).c_str());
        expectNear(d[1], vec3(0, 1, 0), ("far" + length).c_str());
        expectNear(d[2], vec3(), ("behind" + length).c_str());
    }
}

TEST_F(ClayGL, TwentyFiveStampsMoveAllTwentyFiveRegions) {
    std::vector<vec3> points;
    std::vector<Sculptor> strokes;
    for (int i = 0; i < 25; ++i) {
        points.emplace_back(3.0f * float(i), 0, 0);
        strokes.push_back(stroke(Sculptor::Inflate, {sample(points.back(), 1)}));
    }
    auto clay = pointsClay(points);
    for (const vec3& m : moves(*clay, points, strokes)) expectNear(m, vec3(0, 0, 1.0f / 30), "every stamp");
}

TEST_F(ClayGL, AZeroRadiusMovesNothing) {
    const std::vector<vec3> points = {{0, 0, 0}};
    for (Sculptor::TAction action : {Sculptor::Deform, Sculptor::Pinch, Sculptor::Twist, Sculptor::Flatten}) {
        auto clay = pointsClay(points);
        const auto d = moves(*clay, points, {stroke(action, {sample({0, 0, 0}, 0), sample({0.5f, 0, 0}, 0)})});
        EXPECT_TRUE(d[0] == vec3()) << int(action);
    }
}

TEST_F(ClayGL, ASculptedClaySavesItsShapeInOneRecordWithTheSourcesFacesAndMaterials) {
    std::unique_ptr<Mesh> ico(Mesh::Icosahedron());
    ico->faces[2].material[0] = pbr(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 9, 10);
    Clay clay(ico.get());
    const vec3 top = clay.mesh->vertices[0].position;
    moves(clay, {}, {stroke(Sculptor::Inflate, {sample(top, 1.0f, normalize(top))})});
    const std::vector<vec3> sculpted = gpuPositions(clay);
    buffer out;
    clay.DataWrite(out);
    ASSERT_EQ(buffer::loadU32(out.data()), Clay::RecordTag);
    ASSERT_EQ(std::int64_t(out.size()), 8 + std::int64_t(buffer::loadU32(out.data() + 4))) << "one record";

    buffer in(out.bytes());
    std::uint32_t tag = 0, length = 0;
    ASSERT_TRUE(in.readRecordHeader(tag, length));
    ElementFactory factory;
    Element* read = nullptr;
    const std::int32_t version = FILE_VERSION;
    FILE_VERSION = FILE_VERSION_WRITTEN;
    const ElementFactory::TResult result = factory.read(tag, in, read);
    FILE_VERSION = version;
    ASSERT_EQ(result, ElementFactory::Built);
    std::unique_ptr<Clay> back(static_cast<Clay*>(read));
    ASSERT_EQ(back->mesh->faces.size(), ico->faces.size());
    for (std::uint32_t f = 0; f < back->mesh->faces.size(); ++f)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(back->mesh->vertices[back->mesh->faces[f].v[c]].position, sculpted[3 * f + std::uint32_t(c)]);
            EXPECT_EQ(back->mesh->faces[f].v[c], ico->faces[f].v[c]);
            EXPECT_EQ(back->mesh->faces[f].material[c], ico->faces[f].material[c]);
        }
    EXPECT_NE(sculpted[0], ico->vertices[ico->faces[0].v[0]].position);
}

TEST_F(ClayGL, ToMeshAndCloneAreIndependentOfLaterSculpting) {
    std::unique_ptr<Mesh> ico(Mesh::Icosahedron());
    Clay clay(ico.get());
    const vec3 top = clay.mesh->vertices[0].position;
    const Sculptor inflate = stroke(Sculptor::Inflate, {sample(top, 1.0f, normalize(top))});
    moves(clay, {}, {inflate});
    const std::vector<vec3> once = gpuPositions(clay);
    std::unique_ptr<Mesh> mesh(clay.ToMesh());
    std::unique_ptr<Clay> copy(static_cast<Clay*>(clay.clone()));
    ASSERT_TRUE(mesh && copy);
    ASSERT_TRUE(copy->buildVBO());
    EXPECT_NE(copy->buffers, clay.buffers);
    moves(clay, {}, {inflate});
    EXPECT_NE(gpuPositions(clay), once);
    EXPECT_EQ(gpuPositions(*copy), once);
    for (std::uint32_t f = 0; f < mesh->faces.size(); ++f)
        EXPECT_EQ(mesh->vertices[mesh->faces[f].v[0]].position, once[3 * f]);
}

TEST_F(ClayGL, SubdivideKeepsTheSculptedShapeAndRebuildsTheBuffers) {
    std::unique_ptr<Mesh> ico(Mesh::Icosahedron());
    Clay clay(ico.get());
    const vec3 top = clay.mesh->vertices[0].position;
    moves(clay, {}, {stroke(Sculptor::Inflate, {sample(top, 1.0f, normalize(top))})});
    // The same refinement of the sculpted mesh on the CPU.
    std::unique_ptr<Mesh> expected(clay.ToMesh());
    expected->subdivide(true);
    for (int round = 0; round < 3; ++round) {
        expected->refineFlip(1);
        expected->smoothAll(false, false);
    }
    std::vector<Sculptor> strokes = {stroke(Sculptor::Subdivide, {sample(top, 1)}, false)};
    moves(clay, {}, strokes);
    EXPECT_EQ(clay.mesh->faces.size(), ico->faces.size()) << "not before the gesture ends";
    strokes[0].end();
    std::vector<Sculptor*> list = {&strokes[0]};
    clay.sculpt(list);
    ASSERT_EQ(clay.mesh->faces.size(), expected->faces.size());
    EXPECT_EQ(clay.vertexCount, std::int32_t(3 * expected->faces.size()));
    const std::vector<vec3> gpu = gpuPositions(clay);
    for (std::uint32_t f = 0; f < expected->faces.size(); ++f)
        for (int c = 0; c < 3; ++c) {
            const vec3 p = expected->vertices[expected->faces[f].v[c]].position;
            EXPECT_EQ(clay.mesh->vertices[clay.mesh->faces[f].v[c]].position, p);
            EXPECT_EQ(gpu[3 * f + std::uint32_t(c)], p);
        }
}

TEST_F(ClayGL, DeleteVBOKeepsCentreAndSizeAndDrawingBuildsAgain) {
    std::unique_ptr<Mesh> cube(Mesh::Cube());
    cube->initialize(Element::ResizeBox);
    Clay clay(cube.get());
    const vec3 centre = clay.centre;
    const float size = clay.size();
    ASSERT_NE(centre, vec3());
    ASSERT_TRUE(clay.buildVBO());
    const GLuint first = clay.buffers[0];
    clay.deleteVBO();
    EXPECT_EQ(clay.buffers, std::vector<std::uint32_t>({0, 0}));
    EXPECT_FALSE(gl->glIsBuffer(first));
    EXPECT_EQ(clay.centre, centre);
    EXPECT_EQ(clay.size(), size);

    // The first draw builds the buffers.
    FBOScene target(8, 8, 1);
    ASSERT_TRUE(target.enable());
    clay.render(3, 0xffffffffu, mat4::Identity(), pbr(), Element::ColorAsColor, 0.0f, true);
    target.disable();
    EXPECT_NE(clay.buffers[0], 0u);
    EXPECT_EQ(clay.vboEnabled, 0);
}

TEST_F(ClayGL, InitializingABuiltClayKeepsItsSculptedShape) {
    std::unique_ptr<Mesh> ico(Mesh::Icosahedron());
    Clay clay(ico.get());
    const vec3 top = clay.mesh->vertices[0].position;
    moves(clay, {}, {stroke(Sculptor::Inflate, {sample(top, 1.0f, normalize(top))})});
    const std::vector<vec3> sculpted = gpuPositions(clay);
    clay.initialize(Element::ResizeKeep);
    ASSERT_NE(clay.buffers[0], 0u);
    EXPECT_EQ(gpuPositions(clay), sculpted);
    buffer out;
    clay.DataWrite(out);
    EXPECT_GT(out.size(), 8) << "the read-back still matches the mesh";
}

TEST_F(ClayGL, AFailedReadBackFailsTheSaveAndLeavesTheFileAsItWas) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("clay.tl").toStdString();
    Scene scene;
    std::unique_ptr<Mesh> ico(Mesh::Icosahedron());
    Tool source(new Clay(ico.get()), mat4::Identity(), pbr(), false);
    Tool* object = scene.addObject(&source, mat4::Identity(), Scene::HangTop, false);
    auto* clay = static_cast<Clay*>(object->element);
    const vec3 top = clay->mesh->vertices[0].position;
    moves(*clay, {}, {stroke(Sculptor::Inflate, {sample(top, 1.0f, normalize(top))})});
    ASSERT_TRUE(scene.save(path));
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    file.close();

    moves(*clay, {}, {stroke(Sculptor::Inflate, {sample(top, 1.0f, normalize(top))})});
    tltest::glContext()->doneCurrent();
    const bool lostSave = scene.save(path);
    Mesh* converted = clay->ToMesh();
    const bool subdivided = clay->subdivide(true);
    ASSERT_TRUE(tltest::glContext()->makeCurrent(tltest::glSurface()));
    EXPECT_FALSE(lostSave);
    EXPECT_EQ(converted, nullptr);
    EXPECT_FALSE(subdivided);
    EXPECT_EQ(clay->mesh->faces.size(), ico->faces.size());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), saved);
    // With the context back the same save goes through.
    EXPECT_TRUE(scene.save(path));
}
