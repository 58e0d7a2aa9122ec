// Scene and object files: the byte layout, round trips, merging object
// files, skipped and unknown records, the ring repair, the merged OBJ export,
// atomic saves, and refusal of damaged files without touching the scene.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "mesh/mesh.h"
#include "scene/buffer.h"
#include "scene/scene.h"
#include "scene/scene_reader.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::near;
using tooltest::ringOf;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t HeaderTag = 0xFFFFAAAAu;
constexpr std::uint32_t ToolsChunk = 0xABCDEF01u;
constexpr std::uint32_t ElementsChunk = 0xEEEEEEEEu;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& b) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

std::uint32_t u32At(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
           (std::uint32_t(b[at + 3]) << 24);
}

struct Chunk {
    std::uint32_t tag;
    std::size_t start;  // offset of the chunk header
    Bytes payload;
};

// The chunks after the header of a well-formed file.
std::vector<Chunk> chunksOf(const Bytes& b) {
    std::vector<Chunk> out;
    std::size_t at = 8;
    while (at + 8 <= b.size()) {
        const std::uint32_t tag = u32At(b, at), len = u32At(b, at + 4);
        out.push_back({tag, at, Bytes(b.begin() + std::ptrdiff_t(at + 8), b.begin() + std::ptrdiff_t(at + 8 + len))});
        at += 8 + len;
    }
    return out;
}

// The tags of the records back to back in a payload.
std::vector<std::uint32_t> recordTags(const Bytes& payload) {
    std::vector<std::uint32_t> tags;
    for (std::size_t at = 0; at + 8 <= payload.size(); at += 8 + u32At(payload, at + 4)) tags.push_back(u32At(payload, at));
    return tags;
}

// A file assembled from raw pieces.
struct FileBuilder {
    buffer b;
    FileBuilder() {
        b.writeU32(HeaderTag);
        b.writeU32(20161026);
    }
    FileBuilder& chunk(std::uint32_t tag, const buffer& payload) {
        b.writeRecord(tag, payload);
        return *this;
    }
    Bytes bytes() const { return b.bytes(); }
};

// The record of a tool with the ids its fields hold at the time.
void appendRecord(buffer& b, Tool* t) { t->DataWrite(b, true); }

Tool* object(Element* e = nullptr, const mat4& transform = mat4::Identity()) {
    auto* t = new Tool(e, transform, pbr(), false);
    t->flags |= Tool::FlagObject;
    return t;
}

bool sameMesh(const Element* a, const Element* b) {
    const auto* x = dynamic_cast<const Mesh*>(a);
    const auto* y = dynamic_cast<const Mesh*>(b);
    if (!x || !y || x->vertexCount() != y->vertexCount() || x->faceCount() != y->faceCount()) return false;
    for (int v = 0; v < x->vertexCount(); ++v)
        if (!near(x->vertices[std::size_t(v)].position, y->vertices[std::size_t(v)].position)) return false;
    return true;
}

// Every tool of a tree (pre-order, without the root).
std::vector<Tool*> treeOf(Tool* root) {
    std::vector<Tool*> all;
    root->toList(all);
    return all;
}

// Tools x (children: y), a record 0xABCDEF03, y (element 1); the elements
// chunk starts with an unknown record, then y's tetrahedron.
Bytes skipFile() {
    Tool* x = object();
    Tool* y = new Tool(nullptr, mat4::Identity(), pbr(), false);
    x->addChild(y, false);
    x->id = 0;
    y->id = 1;
    Mesh* tetraMesh = Mesh::Tetrahedron();
    tetraMesh->id = 1;
    y->setElement(tetraMesh);
    buffer tools;
    appendRecord(tools, x);
    buffer junk;
    junk.writeU32(99);
    tools.writeRecord(0xABCDEF03u, junk);
    appendRecord(tools, y);
    buffer elements;
    buffer unknownBody;
    unknownBody.writeU32(7);
    elements.writeRecord(0xE0123456u, unknownBody);
    tetraMesh->DataWrite(elements);
    tetraMesh->id = -1;
    delete x;
    return FileBuilder().chunk(ToolsChunk, tools).chunk(ElementsChunk, elements).bytes();
}

// Tools x (children y, z); x and y name two records of unknown tags, z none.
Bytes unknownElementsFile() {
    Tool* x = object();
    Tool* y = object();
    Tool* z = object();
    x->addChild(y, false);
    x->addChild(z, false);
    x->id = 0;
    y->id = 1;
    z->id = 2;
    buffer tools;
    for (Tool* t : {x, y, z}) {
        buffer body;
        t->Data(body, true);
        // The element id stands 16 bytes before the end of the body.
        body.patchU32(body.size() - 16, t == z ? 0xFFFFFFFFu : std::uint32_t(t == x ? 0 : 1));
        tools.writeRecord(Tool::RecordTag, body);
    }
    buffer elements, empty;
    elements.writeRecord(0xE0FFFFF1u, empty);
    elements.writeRecord(0xE1234567u, empty);
    delete x;
    return FileBuilder().chunk(ToolsChunk, tools).chunk(ElementsChunk, elements).bytes();
}

// x's record carries 12 bytes more than its reader consumes; y follows.
Bytes windowFile() {
    Tool* x = object();
    Tool* y = new Tool(nullptr, mat4::Translation(0, 5, 0), pbr(), false);
    x->addChild(y, false);
    x->id = 0;
    y->id = 1;
    buffer tools, body;
    x->Data(body, true);
    for (int i = 0; i < 3; ++i) body.writeU32(0xABCDEF02u);
    tools.writeRecord(Tool::RecordTag, body);
    appendRecord(tools, y);
    buffer noElements;
    delete x;
    return FileBuilder().chunk(ToolsChunk, tools).chunk(ElementsChunk, noElements).bytes();
}

// x adopts y; y names x (a cycle), itself and an id out of range as
// children, a ring id out of range and an element id beyond the elements; w
// (with a mesh) is adopted by nobody; z heads a chunk of its own and names
// element 1 of a chunk holding one element, which no tool can use.
Bytes badReferencesFile() {
    Tool* x = object();
    Tool* y = new Tool(nullptr, mat4::Identity(), pbr(), false);
    Tool* fakeX = new Tool(nullptr, mat4::Identity(), pbr(), false);
    Tool* fakeSelf = new Tool(nullptr, mat4::Identity(), pbr(), false);
    Tool* fakeFar = new Tool(nullptr, mat4::Identity(), pbr(), false);
    x->addChild(y, false);
    for (Tool* f : {fakeX, fakeSelf, fakeFar}) y->addChild(f, false);
    Mesh* cube = Mesh::Cube();
    Tool* w = new Tool(cube, mat4::Identity(), pbr(), false);
    Tool* z = new Tool(cube, mat4::Identity(), pbr(), false);
    x->id = 0;
    y->id = 1;
    w->id = 2;
    z->id = 3;
    fakeX->id = 0;
    fakeSelf->id = 1;
    fakeFar->id = 1000;
    Tool* ringFar = new Tool(nullptr, mat4::Identity(), pbr(), false);
    ringFar->id = -5;
    y->joinInstances(ringFar);
    buffer tools;
    appendRecord(tools, x);
    buffer body;
    y->Data(body, true);
    body.patchU32(body.size() - 16, 77);
    tools.writeRecord(Tool::RecordTag, body);
    cube->id = 0;
    appendRecord(tools, w);
    buffer zChunk;
    cube->id = 1;
    appendRecord(zChunk, z);
    buffer elements;
    cube->DataWrite(elements);
    cube->id = -1;
    delete ringFar;
    delete x;
    delete w;
    delete z;
    return FileBuilder().chunk(ToolsChunk, tools).chunk(ToolsChunk, zChunk).chunk(ElementsChunk, elements).bytes();
}

class SceneFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Scene::Error = 0;
        Tool::Error = 0;
    }
    std::string path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    // A template with a child, and two placed hierarchies sharing elements,
    // with materials, transforms, pivots and a ring of two objects.
    void buildScene(Scene& s) {
        cube = Mesh::Cube();
        cube->initialize(Element::ResizeKeep);
        tetra = Mesh::Tetrahedron();
        tetra->initialize(Element::ResizeKeep);
        Tool* tmpl = s.addTool(new Tool(cube, mat4::Scale(2), pbr(), false));
        tmpl->addChild(new Tool(tetra, mat4::Translation(0, 0, 1), pbr(), true), false);

        a = object(cube, mat4::Translation(1, 2, 3));
        a->pivot = mat4::Rotation(0.1f, 0.2f, 0.3f);
        a->material = pbr(wvec4(1, 2, 3, 0x8000), wvec4(4, 5, 6, 7), -12, 345);
        a->rotationAxis = vec3(0, 0, 1);
        a->speed = 2.5f;
        a->delay = 0.25f;
        b = object(tetra, mat4::Translation(0, 1, 0));
        c = object(cube, mat4::Scale(0.5f));
        d = object(cube, mat4::Translation(-4, 0, 0));
        s.objectsRoot->addChild(a, false);
        a->addChild(b, false);
        b->addChild(c, false);
        s.objectsRoot->addChild(d, false);
        a->joinInstances(d);
    }

    QTemporaryDir dir;
    Mesh* cube = nullptr;
    Mesh* tetra = nullptr;
    Tool *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
};

}  // namespace

// ---- Layout ----

TEST_F(SceneFileTest, EmptySceneIsAHeaderAndAnEmptyElementsChunk) {
    Scene s;
    ASSERT_TRUE(s.save(path("empty.tl")));
    const Bytes expected = {0xAA, 0xAA, 0xFF, 0xFF, 0x02, 0xA2, 0x33, 0x01, 0xEE, 0xEE, 0xEE, 0xEE, 0, 0, 0, 0};
    EXPECT_EQ(readFile(path("empty.tl")), expected);
    // A path without any '.' writes a scene file as well.
    ASSERT_TRUE(s.save(path("noextension")));
    EXPECT_EQ(readFile(path("noextension")), expected);

    Scene loaded;
    EXPECT_TRUE(loaded.load(path("empty.tl")));
    EXPECT_EQ(FILE_VERSION, 20161026);
    EXPECT_TRUE(loaded.objectsRoot->children.empty());
}

TEST_F(SceneFileTest, OneToolsChunkPerHierarchyAndSharedElementsWrittenOnce) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));
    const std::vector<Chunk> chunks = chunksOf(readFile(path("scene.tl")));
    ASSERT_EQ(chunks.size(), 4u);  // template, a's hierarchy, d, elements
    EXPECT_EQ(recordTags(chunks[0].payload).size(), 2u);
    EXPECT_EQ(recordTags(chunks[1].payload).size(), 3u);
    EXPECT_EQ(recordTags(chunks[2].payload).size(), 1u);
    EXPECT_EQ(chunks[3].tag, ElementsChunk);
    EXPECT_EQ(recordTags(chunks[3].payload), (std::vector<std::uint32_t>{Mesh::RecordTag, Mesh::RecordTag}));
    // Element ids are reset after writing; tool flags are untouched.
    EXPECT_EQ(cube->id, -1);
    EXPECT_EQ(tetra->id, -1);
    EXPECT_FALSE(a->isTempMarked());
}

// ---- Round trips ----

TEST_F(SceneFileTest, SceneRoundTripKeepsHierarchyRingsElementsAndFields) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));

    Scene loaded(path("scene.tl"), false);
    EXPECT_EQ(Scene::Error, 0);
    ASSERT_EQ(loaded.toolsRoot->children.size(), 1u);
    Tool* tmpl = loaded.toolsRoot->children[0];
    EXPECT_EQ(loaded.currentTool, tmpl);
    ASSERT_EQ(tmpl->children.size(), 1u);
    EXPECT_TRUE(tmpl->children[0]->flags & Tool::FlagTransparent);

    ASSERT_EQ(loaded.objectsRoot->children.size(), 2u);
    Tool* la = loaded.objectsRoot->children[0];
    Tool* ld = loaded.objectsRoot->children[1];
    ASSERT_EQ(la->children.size(), 1u);
    Tool* lb = la->children[0];
    ASSERT_EQ(lb->children.size(), 1u);
    Tool* lc = lb->children[0];

    EXPECT_TRUE(near(la->transform, a->transform));
    EXPECT_TRUE(near(la->pivot, a->pivot));
    EXPECT_EQ(la->material, a->material);
    EXPECT_TRUE(near(la->rotationAxis, a->rotationAxis));
    EXPECT_EQ(la->speed, 2.5f);
    EXPECT_EQ(la->delay, 0.25f);
    EXPECT_TRUE(la->isObject());
    EXPECT_TRUE(near(lc->transform, c->transform));

    // One element per distinct element, shared as before.
    EXPECT_EQ(la->element, lc->element);
    EXPECT_EQ(la->element, ld->element);
    EXPECT_EQ(la->element, tmpl->element);
    EXPECT_EQ(lb->element, tmpl->children[0]->element);
    EXPECT_EQ(la->element->refCount, 4);
    EXPECT_TRUE(sameMesh(la->element, cube));
    EXPECT_TRUE(sameMesh(lb->element, tetra));

    // The ring of a and d.
    EXPECT_EQ(ringOf(la), (std::vector<Tool*>{la, ld}));
    EXPECT_EQ(ringOf(lb).size(), 1u);

    // The lists are built: ids can be used at once.
    EXPECT_EQ(loaded.findObject(1), la);
    EXPECT_EQ(loaded.findID(ld), 4);
}

TEST_F(SceneFileTest, LoadingAddsToTheOpenScene) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));
    ASSERT_TRUE(s.load(path("scene.tl")));
    EXPECT_EQ(s.objectsRoot->children.size(), 4u);
    EXPECT_EQ(s.toolsRoot->children.size(), 2u);
    // The loaded copies have their own elements and rings.
    Tool* la = s.objectsRoot->children[2];
    EXPECT_NE(la->element, a->element);
    EXPECT_FALSE(la->isInstanceOf(a));
}

TEST_F(SceneFileTest, ObjectFileMergedTwiceGivesTwoIndependentCopies) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(a->save(path("a.tlo")));
    const std::vector<Chunk> chunks = chunksOf(readFile(path("a.tlo")));
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(recordTags(chunks[0].payload).size(), 3u);
    EXPECT_EQ(recordTags(chunks[1].payload).size(), 2u);
    EXPECT_FALSE(a->isTempMarked());
    EXPECT_EQ(cube->id, -1);

    Scene target;
    ASSERT_TRUE(target.load(path("a.tlo")));
    ASSERT_TRUE(target.load(path("a.tlo")));
    ASSERT_EQ(target.objectsRoot->children.size(), 2u);
    Tool* first = target.objectsRoot->children[0];
    Tool* second = target.objectsRoot->children[1];
    EXPECT_EQ(treeOf(first).size(), 3u);
    EXPECT_EQ(treeOf(second).size(), 3u);
    EXPECT_NE(first->element, second->element);
    EXPECT_EQ(first->element, first->children[0]->children[0]->element);
    // Only a was saved of its ring: each copy is a ring of its own.
    EXPECT_EQ(ringOf(first).size(), 1u);
    EXPECT_EQ(ringOf(second).size(), 1u);
    EXPECT_EQ(target.currentTool, nullptr);
}

TEST_F(SceneFileTest, TemplateObjectFileBecomesTheCurrentTool) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.toolsRoot->children[0]->save(path("tmpl.tlo")));
    Scene target;
    target.toList();
    ASSERT_TRUE(target.load(path("tmpl.tlo")));
    ASSERT_EQ(target.toolsRoot->children.size(), 1u);
    EXPECT_EQ(target.currentTool, target.toolsRoot->children[0]);
    EXPECT_TRUE(target.objectsRoot->children.empty());
    EXPECT_EQ(target.findID(target.currentTool), -1);
}

TEST_F(SceneFileTest, ObjectFileNamesNoMarkedToolOutsideIt) {
    // d, in a's ring, carries a highlight mark and an id that names a's
    // child in the object file: the file must still leave a alone.
    Scene s;
    buildScene(s);
    d->flags |= Tool::FlagTemp;
    d->id = 1;
    ASSERT_TRUE(a->save(path("a.tlo")));
    EXPECT_TRUE(d->isTempMarked());
    EXPECT_EQ(d->id, 1);
    Scene target;
    ASSERT_TRUE(target.load(path("a.tlo")));
    Tool* la = target.objectsRoot->children[0];
    EXPECT_EQ(ringOf(la).size(), 1u);
    EXPECT_EQ(ringOf(la->children[0]).size(), 1u);
}

TEST_F(SceneFileTest, SceneFileNamesNoRingMemberOutsideTheScene) {
    Scene s;
    buildScene(s);
    Tool outsider(nullptr, mat4::Identity(), pbr(), false);
    outsider.id = 2;  // would name b
    a->joinInstances(&outsider);
    ASSERT_TRUE(s.save(path("scene.tl")));
    EXPECT_EQ(outsider.id, 2);
    Scene loaded(path("scene.tl"), false);
    Tool* la = loaded.objectsRoot->children[0];
    EXPECT_EQ(ringOf(la), (std::vector<Tool*>{la, loaded.objectsRoot->children[1]}));
    EXPECT_EQ(ringOf(la->children[0]).size(), 1u);
}

TEST_F(SceneFileTest, CheckTakesOutsideToolsOutOfTheRings) {
    Scene s;
    buildScene(s);
    Tool outsider(nullptr, mat4::Identity(), pbr(), false);
    a->joinInstances(&outsider);  // a -> outsider -> d -> a
    ASSERT_EQ(ringOf(a).size(), 3u);
    EXPECT_TRUE(s.CHECK());
    EXPECT_EQ(ringOf(a), (std::vector<Tool*>{a, d}));
    EXPECT_EQ(ringOf(&outsider).size(), 1u);
}

// ---- Skipped and unknown records ----

TEST_F(SceneFileTest, UnknownChunkBetweenToolsAndElementsIsSkipped) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));
    Bytes bytes = readFile(path("scene.tl"));
    const std::vector<Chunk> chunks = chunksOf(bytes);
    const Bytes extra = {0x78, 0x56, 0x34, 0x12, 5, 0, 0, 0, 1, 2, 3, 4, 5};
    bytes.insert(bytes.begin() + std::ptrdiff_t(chunks.back().start), extra.begin(), extra.end());
    writeBytes(path("extra.tl"), bytes);

    Scene loaded(path("extra.tl"), false);
    EXPECT_EQ(Scene::Error, 0);
    ASSERT_EQ(loaded.objectsRoot->children.size(), 2u);
    Tool* la = loaded.objectsRoot->children[0];
    EXPECT_TRUE(sameMesh(la->element, cube));
    EXPECT_EQ(treeOf(la).size(), 3u);
}

TEST_F(SceneFileTest, SkippedToolRecordTakesNoIdAndUnknownElementKeepsPositions) {
    writeBytes(path("skip.tl"), skipFile());
    Scene loaded;
    ASSERT_TRUE(loaded.load(path("skip.tl")));
    ASSERT_EQ(loaded.objectsRoot->children.size(), 1u);
    Tool* lx = loaded.objectsRoot->children[0];
    ASSERT_EQ(lx->children.size(), 1u);
    Mesh* expected = Mesh::Tetrahedron();
    expected->initialize(Element::ResizeKeep);
    EXPECT_TRUE(sameMesh(lx->children[0]->element, expected));
    delete expected;
}

TEST_F(SceneFileTest, UnknownElementRecordsBecomeOnePlaceholderSphere) {
    writeBytes(path("unknown.tl"), unknownElementsFile());
    Scene loaded;
    ASSERT_TRUE(loaded.load(path("unknown.tl")));
    Tool* lx = loaded.objectsRoot->children[0];
    ASSERT_EQ(lx->children.size(), 2u);
    auto* sphere = dynamic_cast<Mesh*>(lx->element);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->faceCount(), 20 * 64);
    EXPECT_EQ(lx->children[0]->element, sphere);
    EXPECT_EQ(sphere->refCount, 2);
    EXPECT_EQ(lx->children[1]->element, nullptr);
}

TEST_F(SceneFileTest, EachRecordIsReadInsideItsOwnWindow) {
    writeBytes(path("window.tl"), windowFile());
    Scene loaded;
    ASSERT_TRUE(loaded.load(path("window.tl")));
    Tool* lx = loaded.objectsRoot->children[0];
    ASSERT_EQ(lx->children.size(), 1u);
    EXPECT_TRUE(near(lx->children[0]->transform, mat4::Translation(0, 5, 0)));
}

TEST_F(SceneFileTest, BadReferencesAreDroppedNeverFollowed) {
    writeBytes(path("refs.tl"), badReferencesFile());
    Scene loaded;
    ASSERT_TRUE(loaded.load(path("refs.tl")));
    // x and z head their chunks; y hangs under x with no children; w, which
    // nothing adopts, is gone with its element.
    ASSERT_EQ(loaded.objectsRoot->children.size(), 1u);
    ASSERT_EQ(loaded.toolsRoot->children.size(), 1u);
    EXPECT_EQ(loaded.objects.size(), 2);
    Tool* lx = loaded.objectsRoot->children[0];
    ASSERT_EQ(lx->children.size(), 1u);
    Tool* ly = lx->children[0];
    EXPECT_TRUE(ly->children.empty());
    EXPECT_EQ(ly->element, nullptr);
    EXPECT_EQ(ringOf(ly).size(), 1u);
    // z named element 1, which the file does not hold.
    EXPECT_EQ(loaded.toolsRoot->children[0]->element, nullptr);
}

TEST_F(SceneFileTest, HierarchiesDeeperThanTheLimitAreRefused) {
    Scene deep;
    Tool* t = deep.objectsRoot;
    for (int i = 0; i < SceneReader::MaxDepth; ++i) {
        Tool* c = object();
        t->addChild(c, false);
        t = c;
    }
    ASSERT_TRUE(deep.save(path("limit.tl")));
    t->addChild(object(), false);
    ASSERT_TRUE(deep.save(path("deeper.tl")));

    Scene loaded;
    EXPECT_TRUE(loaded.load(path("limit.tl")));
    EXPECT_EQ(loaded.objects.size(), SceneReader::MaxDepth);
    EXPECT_FALSE(loaded.load(path("deeper.tl")));
    EXPECT_EQ(loaded.objects.size(), SceneReader::MaxDepth);
}

// ---- Refused files ----

TEST_F(SceneFileTest, DamagedFilesAreRefusedWithoutChangingTheScene) {
    Scene source;
    buildScene(source);
    ASSERT_TRUE(source.save(path("good.tl")));
    const Bytes good = readFile(path("good.tl"));
    const std::vector<Chunk> chunks = chunksOf(good);

    Scene target;
    buildScene(target);
    target.toList();
    const std::vector<Tool*> before = target.objects.tools;
    const Tool* current = target.currentTool;

    const auto refused = [&](const Bytes& bytes, const char* what) {
        Scene::Error = 0;
        Tool::Error = 0;
        writeBytes(path("bad.tl"), bytes);
        EXPECT_FALSE(target.load(path("bad.tl"))) << what;
        EXPECT_EQ(Scene::Error, 1) << what;
        EXPECT_EQ(Tool::Error, 1) << what;
        target.toList();
        EXPECT_EQ(target.objects.tools, before) << what;
        EXPECT_EQ(target.currentTool, current) << what;
        EXPECT_EQ(target.toolsRoot->children.size(), 1u) << what;
    };

    // Every truncation inside a chunk; cuts between chunks leave a sound file.
    std::vector<std::size_t> boundaries = {8};
    for (const Chunk& c : chunks) boundaries.push_back(c.start + 8 + c.payload.size());
    for (std::size_t n = 0; n < good.size(); ++n) {
        if (std::find(boundaries.begin(), boundaries.end(), n) != boundaries.end()) continue;
        refused(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)), "truncated");
    }

    Bytes b = good;
    b[0] = 0;
    refused(b, "no header");
    refused(Bytes{}, "empty file");

    b = good;
    b[chunks[1].start + 7] = 0x7F;  // chunk longer than the file
    refused(b, "chunk length");

    b = good;
    b[chunks[1].start + 8 + 6] = 0x01;  // first record longer than its chunk
    refused(b, "record length");

    b = good;
    b[chunks[1].start + 8 + 4] = 10;  // tool record too short for its body
    b[chunks[1].start + 8 + 5] = 0;
    refused(b, "short tool body");

    b = good;
    // The first face of the first mesh names a vertex far outside the list.
    const std::size_t mesh = chunks.back().start + 8 + 8;
    const std::size_t nV = u32At(b, mesh + 16);
    const std::size_t face = mesh + 20 + 13 * nV + 4;
    b[face + 3] = 0x7F;
    refused(b, "vertex index");

    b = good;
    b[chunks.back().start + 8 + 8 + 16] = 0xFF;  // vertex count beyond the record
    b[chunks.back().start + 8 + 8 + 19] = 0x0F;
    refused(b, "vertex count");

    EXPECT_FALSE(target.load(path("missing.tl")));
    EXPECT_EQ(Tool::Error, 1);

    // A sound file still loads into the same scene afterwards.
    Scene::Error = 0;
    EXPECT_TRUE(target.load(path("good.tl")));
    EXPECT_EQ(Scene::Error, 0);
}

TEST_F(SceneFileTest, RefusedSceneFileLeavesTheLoadingConstructorEmpty) {
    writeBytes(path("junk.tl"), Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9});
    Scene s(path("junk.tl"), false);
    EXPECT_EQ(Scene::Error, 1);
    EXPECT_TRUE(s.objectsRoot->children.empty());
}

// ---- Saving ----

TEST_F(SceneFileTest, FailedSaveLeavesTheFileOnDiskUntouched) {
    // A name of the longest length a folder entry may have: the file exists,
    // but no temporary file can be made beside it (its name would be
    // longer), so both saves fail before the file is touched.
    const std::string longName = path(std::string(252, 'a') + ".tl");
    Scene small;
    ASSERT_TRUE(small.save(path("small.tl")));
    const Bytes old = readFile(path("small.tl"));
    writeBytes(longName, old);
    ASSERT_EQ(readFile(longName), old);

    Scene big;
    buildScene(big);
    EXPECT_FALSE(big.save(longName));
    EXPECT_FALSE(a->save(longName));
    EXPECT_EQ(readFile(longName), old);
    // The scene is as before the attempt: element ids reset, no marks left.
    EXPECT_EQ(cube->id, -1);
    EXPECT_FALSE(a->isTempMarked());

    EXPECT_FALSE(big.save(path("no/such/folder/scene.tl")));
    EXPECT_FALSE(a->save(path("no/such/folder/a.tlo")));
}

TEST_F(SceneFileTest, ObjectObjExportMergesTheHierarchyInItsOwnFrame) {
    Scene s;
    Mesh* unit = Mesh::Cube();
    Tool* top = object(unit, mat4::Translation(10, 0, 0));  // its own placement is left out
    top->pivot = mat4::Translation(0, 50, 0);
    top->addChild(new Tool(unit, mat4::Translation(0, 0, 2), pbr(), false), false);
    top->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);  // empty: nothing
    s.objectsRoot->addChild(top, false);
    ASSERT_TRUE(top->save(path("merged.OBJ")));

    Mesh merged;
    ASSERT_TRUE(merged.loadOBJ(path("merged.OBJ")));
    EXPECT_EQ(merged.faceCount(), 2 * unit->faceCount());
    vec3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
    for (int v = 0; v < merged.vertexCount(); ++v) {
        const vec3 p = merged.vertices[std::size_t(v)].position;
        lo = vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    const vec3 cubeLo = unit->toLocal(vec3(0, 0, 0)), cubeHi = unit->toLocal(vec3(1, 1, 1));
    EXPECT_TRUE(near(lo, cubeLo, 1e-4f));
    EXPECT_TRUE(near(hi, cubeHi + vec3(0, 0, 2), 1e-4f));
    // The working copy is gone: the object is alone in its ring again.
    EXPECT_EQ(ringOf(top).size(), 1u);
    EXPECT_EQ(unit->refCount, 2);
}

// ---- Fuzz corpus ----

// Writes the kept inputs of the scene reader's fuzz target into the folder
// named by TL_SCENE_CORPUS: saved scenes and object files, the hand-built
// files above, and broken variants of them.
TEST_F(SceneFileTest, DISABLED_WriteFuzzCorpus) {
    const char* folder = std::getenv("TL_SCENE_CORPUS");
    ASSERT_NE(folder, nullptr);
    const auto keep = [folder](const std::string& name, const Bytes& bytes) {
        writeBytes(std::string(folder) + "/" + name, bytes);
    };
    Scene empty;
    ASSERT_TRUE(empty.save(path("empty.tl")));
    keep("empty.tl", readFile(path("empty.tl")));
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));
    ASSERT_TRUE(a->save(path("object.tlo")));
    ASSERT_TRUE(s.toolsRoot->children[0]->save(path("template.tlo")));
    const Bytes scene = readFile(path("scene.tl"));
    keep("scene.tl", scene);
    keep("object.tlo", readFile(path("object.tlo")));
    keep("template.tlo", readFile(path("template.tlo")));
    keep("skip.tl", skipFile());
    keep("unknown_elements.tl", unknownElementsFile());
    keep("window.tl", windowFile());
    keep("bad_references.tl", badReferencesFile());

    const std::vector<Chunk> chunks = chunksOf(scene);
    keep("truncated_half.tl", Bytes(scene.begin(), scene.begin() + std::ptrdiff_t(scene.size() / 2)));
    keep("truncated_header.tl", Bytes(scene.begin(), scene.begin() + 12));
    Bytes b = scene;
    b[chunks[1].start + 7] = 0x7F;
    keep("chunk_too_long.tl", b);
    b = scene;
    b[chunks[1].start + 8 + 4] = 10;
    b[chunks[1].start + 8 + 5] = 0;
    keep("record_too_short.tl", b);
    b = scene;
    b[chunks.back().start + 8 + 8 + 19] = 0x0F;
    keep("vertex_count.tl", b);
    // The same bytes read with the older layouts.
    for (std::uint32_t version : {20060401u, 20060411u, 20161025u}) {
        b = scene;
        for (int i = 0; i < 4; ++i) b[std::size_t(4 + i)] = std::uint8_t(version >> (8 * i));
        keep("version_" + std::to_string(version) + ".tl", b);
    }
    // A second header in the middle, and chunks in reverse order.
    b = Bytes(scene.begin(), scene.begin() + std::ptrdiff_t(chunks.back().start));
    b.insert(b.end(), scene.begin(), scene.begin() + 8);
    b.insert(b.end(), scene.begin() + std::ptrdiff_t(chunks.back().start), scene.end());
    keep("second_header.tl", b);
    b = Bytes(scene.begin(), scene.begin() + 8);
    for (auto it = chunks.rbegin(); it != chunks.rend(); ++it) {
        b.insert(b.end(), scene.begin() + std::ptrdiff_t(it->start), scene.begin() + std::ptrdiff_t(it->start + 8 + it->payload.size()));
    }
    keep("reversed_chunks.tl", b);
}
