// Scene and object files: the byte layout, round trips, merging object
// files, skipped and unknown records, the ring repair, the merged OBJ export,
// atomic saves, and refusal of damaged files without touching the scene.

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
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
using tooltest::newTool;
using tooltest::ringOf;

namespace {

using Bytes = std::vector<std::uint8_t>;

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
    std::size_t end() const { return start + 8 + payload.size(); }
};

// The chunks after the header of a well-formed file.
std::vector<Chunk> chunksOf(const Bytes& b) {
    std::vector<Chunk> out;
    for (std::size_t at = 8; at + 8 <= b.size(); at = out.back().end()) {
        const std::uint32_t len = u32At(b, at + 4);
        const auto from = b.begin() + std::ptrdiff_t(at + 8);
        out.push_back({u32At(b, at), at, Bytes(from, from + std::ptrdiff_t(len))});
    }
    return out;
}

// The number of records back to back in a payload.
std::size_t recordCount(const Bytes& payload) {
    std::size_t n = 0;
    for (std::size_t at = 0; at + 8 <= payload.size(); at += 8 + u32At(payload, at + 4)) ++n;
    return n;
}

// b with the bytes at the given offsets replaced.
Bytes patched(Bytes b, const std::vector<std::pair<std::size_t, std::uint8_t>>& edits) {
    for (const auto& e : edits) b[e.first] = e.second;
    return b;
}

// A file of the current version holding the given chunks.
Bytes fileOf(const std::vector<std::pair<std::uint32_t, buffer>>& chunks) {
    buffer b;
    b.writeU32(0xFFFFAAAAu);
    b.writeU32(20161026);
    for (const auto& c : chunks) b.writeRecord(c.first, c.second);
    return b.bytes();
}

Tool* object(Element* e = nullptr, const mat4& transform = mat4::Identity()) {
    Tool* t = newTool(e, true);
    t->transform = transform;
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

std::size_t treeSize(Tool* root) {
    std::vector<Tool*> all;
    root->toList(all);
    return all.size();
}

// Tools x (children: y), a record 0xABCDEF03, y (element 1); the elements
// chunk starts with an unknown record, then y's tetrahedron.
Bytes skipFile() {
    Tool* x = object();
    Tool* y = x->addChild(newTool(), false);
    x->id = 0;
    y->id = 1;
    Mesh* tetra = Mesh::Tetrahedron();
    tetra->id = 1;
    y->setElement(tetra);
    buffer tools, junk, elements, unknown;
    x->DataWrite(tools, true);
    junk.writeU32(99);
    tools.writeRecord(0xABCDEF03u, junk);
    y->DataWrite(tools, true);
    unknown.writeU32(7);
    elements.writeRecord(0xE0123456u, unknown);
    tetra->DataWrite(elements);
    tetra->id = -1;
    delete x;
    return fileOf({{ToolsChunk, tools}, {ElementsChunk, elements}});
}

// Tools x (children y, z); x and y name two records of unknown tags, z none.
Bytes unknownElementsFile() {
    Tool* x = object();
    Tool* y = x->addChild(object(), false);
    Tool* z = x->addChild(object(), false);
    x->id = 0;
    y->id = 1;
    z->id = 2;
    buffer tools, elements, empty;
    for (Tool* t : {x, y, z}) {
        buffer body;
        t->Data(body, true);
        // The element id stands 16 bytes before the end of the body.
        body.patchU32(body.size() - 16, t == z ? 0xFFFFFFFFu : std::uint32_t(t == x ? 0 : 1));
        tools.writeRecord(Tool::RecordTag, body);
    }
    elements.writeRecord(0xE0FFFFF1u, empty);
    elements.writeRecord(0xE1234567u, empty);
    delete x;
    return fileOf({{ToolsChunk, tools}, {ElementsChunk, elements}});
}

// x's record carries 12 bytes more than its reader consumes; y follows.
Bytes windowFile() {
    Tool* x = object();
    Tool* y = x->addChild(newTool(), false);
    y->transform = mat4::Translation(0, 5, 0);
    x->id = 0;
    y->id = 1;
    buffer tools, body;
    x->Data(body, true);
    for (int i = 0; i < 3; ++i) body.writeU32(0xABCDEF02u);
    tools.writeRecord(Tool::RecordTag, body);
    y->DataWrite(tools, true);
    delete x;
    return fileOf({{ToolsChunk, tools}, {ElementsChunk, buffer()}});
}

// x adopts y; y names x (a cycle), itself and an id out of range as
// children, a ring id out of range and an element id beyond the elements; w
// (with a mesh) is adopted by nobody; z heads a chunk of its own and names
// element 1 of a chunk holding one element, which no tool can use.
Bytes badReferencesFile() {
    Tool* x = object();
    Tool* y = x->addChild(newTool(), false);
    const int fakeIds[] = {0, 1, 1000};
    for (int id : fakeIds) y->addChild(newTool(), false)->id = id;
    Mesh* cube = Mesh::Cube();
    Tool* w = newTool(cube);
    Tool* z = newTool(cube);
    x->id = 0;
    y->id = 1;
    w->id = 2;
    z->id = 3;
    Tool* ringFar = newTool();
    ringFar->id = -5;
    y->joinInstances(ringFar);
    buffer tools, body, zChunk, elements;
    x->DataWrite(tools, true);
    y->Data(body, true);
    body.patchU32(body.size() - 16, 77);
    tools.writeRecord(Tool::RecordTag, body);
    cube->id = 0;
    w->DataWrite(tools, true);
    cube->id = 1;
    z->DataWrite(zChunk, true);
    cube->DataWrite(elements);
    cube->id = -1;
    for (Tool* t : {ringFar, x, w, z}) delete t;
    return fileOf({{ToolsChunk, tools}, {ToolsChunk, zChunk}, {ElementsChunk, elements}});
}

class SceneFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Scene::Error = 0;
        Tool::Error = 0;
    }
    std::string path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    // Loads a hand-built file into s; its first placed object.
    Tool* loadFirst(Scene& s, const Bytes& bytes) {
        writeBytes(path("built.tl"), bytes);
        EXPECT_TRUE(s.load(path("built.tl")));
        return s.objectsRoot->children.empty() ? nullptr : s.objectsRoot->children[0];
    }

    // A template with a child, and two placed hierarchies sharing elements,
    // with materials, transforms, pivots and a ring of two objects.
    void buildScene(Scene& s) {
        cube = Mesh::Cube();
        cube->initialize(Element::ResizeKeep);
        tetra = Mesh::Tetrahedron();
        tetra->initialize(Element::ResizeKeep);
        Tool* tmpl = s.addTool(new Tool(cube, mat4::Scale(2), pbr(), false));
        tmpl->addChild(new Tool(tetra, mat4::Translation(0, 0, 1), pbr(), true), false);

        a = s.objectsRoot->addChild(object(cube, mat4::Translation(1, 2, 3)), false);
        a->pivot = mat4::Rotation(0.1f, 0.2f, 0.3f);
        a->material = pbr(wvec4(1, 2, 3, 0x8000), wvec4(4, 5, 6, 7), -12, 345);
        a->rotationAxis = vec3(0, 0, 1);
        a->speed = 2.5f;
        a->delay = 0.25f;
        b = a->addChild(object(tetra, mat4::Translation(0, 1, 0)), false);
        c = b->addChild(object(cube, mat4::Scale(0.5f)), false);
        d = s.objectsRoot->addChild(object(cube, mat4::Translation(-4, 0, 0)), false);
        a->joinInstances(d);
    }

    QTemporaryDir dir;
    Mesh* cube = nullptr;
    Mesh* tetra = nullptr;
    Tool *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
};

}  // namespace

TEST_F(SceneFileTest, EmptySceneIsAHeaderAndAnEmptyElementsChunk) {
    Scene s;
    const Bytes expected = {0xAA, 0xAA, 0xFF, 0xFF, 0x02, 0xA2, 0x33, 0x01, 0xEE, 0xEE, 0xEE, 0xEE, 0, 0, 0, 0};
    for (const char* name : {"empty.tl", "noextension"}) {  // a path without '.' writes a scene file too
        ASSERT_TRUE(s.save(path(name)));
        EXPECT_EQ(readFile(path(name)), expected) << name;
    }
    Scene loaded;
    EXPECT_TRUE(loaded.load(path("empty.tl")));
    EXPECT_TRUE(loaded.objectsRoot->children.empty());
}

TEST_F(SceneFileTest, SceneRoundTripKeepsHierarchyRingsElementsAndFields) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));
    // One tools chunk per hierarchy (template, a's, d's); shared elements written once.
    const std::vector<Chunk> chunks = chunksOf(readFile(path("scene.tl")));
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(recordCount(chunks[1].payload), 3u);
    EXPECT_EQ(chunks[3].tag, ElementsChunk);
    EXPECT_EQ(recordCount(chunks[3].payload), 2u);
    EXPECT_EQ(cube->id, -1);  // element ids are reset after writing
    EXPECT_FALSE(a->isTempMarked());

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
    ASSERT_EQ(treeSize(la), 3u);
    Tool* lb = la->children[0];
    Tool* lc = lb->children[0];
    EXPECT_TRUE(near(la->pivot, a->pivot));
    EXPECT_EQ(la->material, a->material);
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
    EXPECT_EQ(ringOf(la), (std::vector<Tool*>{la, ld}));
    EXPECT_EQ(ringOf(lb).size(), 1u);
    // The lists are built: ids can be used at once.
    EXPECT_EQ(loaded.findObject(1), la);
    EXPECT_EQ(loaded.findID(ld), 4);

    // Loading into an open scene adds copies with their own elements and rings.
    ASSERT_TRUE(s.load(path("scene.tl")));
    EXPECT_EQ(s.objectsRoot->children.size(), 4u);
    EXPECT_EQ(s.toolsRoot->children.size(), 2u);
    EXPECT_NE(s.objectsRoot->children[2]->element, a->element);
    EXPECT_FALSE(s.objectsRoot->children[2]->isInstanceOf(a));
}

TEST_F(SceneFileTest, ObjectFileMergedTwiceGivesTwoIndependentCopies) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(a->save(path("a.tlo")));
    const std::vector<Chunk> chunks = chunksOf(readFile(path("a.tlo")));
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(recordCount(chunks[0].payload), 3u);
    EXPECT_EQ(recordCount(chunks[1].payload), 2u);
    EXPECT_FALSE(a->isTempMarked());
    EXPECT_EQ(cube->id, -1);

    Scene target;
    ASSERT_TRUE(target.load(path("a.tlo")));
    ASSERT_TRUE(target.load(path("a.tlo")));
    ASSERT_EQ(target.objectsRoot->children.size(), 2u);
    Tool* first = target.objectsRoot->children[0];
    Tool* second = target.objectsRoot->children[1];
    EXPECT_EQ(treeSize(second), 3u);
    EXPECT_NE(first->element, second->element);
    EXPECT_EQ(first->element, first->children[0]->children[0]->element);
    // Only a was saved of its ring: each copy is a ring of its own.
    EXPECT_EQ(ringOf(first).size(), 1u);
    EXPECT_EQ(ringOf(second).size(), 1u);
    EXPECT_EQ(target.currentTool, nullptr);

    // A template's object file becomes the current tool.
    ASSERT_TRUE(s.toolsRoot->children[0]->save(path("tmpl.tlo")));
    ASSERT_TRUE(target.load(path("tmpl.tlo")));
    ASSERT_EQ(target.toolsRoot->children.size(), 1u);
    EXPECT_EQ(target.currentTool, target.toolsRoot->children[0]);
    EXPECT_EQ(target.objectsRoot->children.size(), 2u);
    EXPECT_EQ(target.findID(target.currentTool), -1);
}

TEST_F(SceneFileTest, FilesNameNoRingMemberOutsideTheSavedTools) {
    Scene s;
    buildScene(s);
    // d, in a's ring, carries a highlight mark and an id naming a's child in
    // the object file; an outsider's id would name b in the scene file.
    d->flags |= Tool::FlagTemp;
    d->id = 1;
    Tool outsider(nullptr, mat4::Identity(), pbr(), false);
    outsider.id = 2;
    a->joinInstances(&outsider);
    ASSERT_TRUE(a->save(path("a.tlo")));
    EXPECT_TRUE(d->isTempMarked());
    EXPECT_EQ(d->id, 1);
    Scene target;
    ASSERT_TRUE(target.load(path("a.tlo")));
    Tool* ta = target.objectsRoot->children[0];
    EXPECT_EQ(ringOf(ta).size(), 1u);
    EXPECT_EQ(ringOf(ta->children[0]).size(), 1u);

    d->flags &= std::uint8_t(~Tool::FlagTemp);
    ASSERT_TRUE(s.save(path("scene.tl")));
    EXPECT_EQ(outsider.id, 2);
    Scene loaded(path("scene.tl"), false);
    Tool* la = loaded.objectsRoot->children[0];
    EXPECT_EQ(ringOf(la), (std::vector<Tool*>{la, loaded.objectsRoot->children[1]}));
    EXPECT_EQ(ringOf(la->children[0]).size(), 1u);

    // The check takes outside tools out of the rings.
    EXPECT_TRUE(s.CHECK());
    EXPECT_EQ(ringOf(a), (std::vector<Tool*>{a, d}));
    EXPECT_EQ(ringOf(&outsider).size(), 1u);
}

TEST_F(SceneFileTest, UnknownChunkBetweenToolsAndElementsIsSkipped) {
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));
    Bytes bytes = readFile(path("scene.tl"));
    const Bytes extra = {0x78, 0x56, 0x34, 0x12, 5, 0, 0, 0, 1, 2, 3, 4, 5};
    bytes.insert(bytes.begin() + std::ptrdiff_t(chunksOf(bytes).back().start), extra.begin(), extra.end());
    writeBytes(path("extra.tl"), bytes);
    Scene loaded(path("extra.tl"), false);
    EXPECT_EQ(Scene::Error, 0);
    ASSERT_EQ(loaded.objectsRoot->children.size(), 2u);
    EXPECT_TRUE(sameMesh(loaded.objectsRoot->children[0]->element, cube));
    EXPECT_EQ(treeSize(loaded.objectsRoot->children[0]), 3u);
}

TEST_F(SceneFileTest, SkippedToolRecordTakesNoIdAndUnknownElementKeepsPositions) {
    Scene loaded;
    Tool* lx = loadFirst(loaded, skipFile());
    ASSERT_EQ(loaded.objectsRoot->children.size(), 1u);
    ASSERT_EQ(lx->children.size(), 1u);
    Mesh* expected = Mesh::Tetrahedron();
    expected->initialize(Element::ResizeKeep);
    EXPECT_TRUE(sameMesh(lx->children[0]->element, expected));
    delete expected;
}

TEST_F(SceneFileTest, UnknownElementRecordsBecomeOnePlaceholderSphere) {
    Scene loaded;
    Tool* lx = loadFirst(loaded, unknownElementsFile());
    ASSERT_NE(lx, nullptr);
    ASSERT_EQ(lx->children.size(), 2u);
    auto* sphere = dynamic_cast<Mesh*>(lx->element);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->faceCount(), 20 * 64);
    EXPECT_EQ(lx->children[0]->element, sphere);
    EXPECT_EQ(sphere->refCount, 2);
    EXPECT_EQ(lx->children[1]->element, nullptr);
}

TEST_F(SceneFileTest, EachRecordIsReadInsideItsOwnWindow) {
    Scene loaded;
    Tool* lx = loadFirst(loaded, windowFile());
    ASSERT_NE(lx, nullptr);
    ASSERT_EQ(lx->children.size(), 1u);
    EXPECT_TRUE(near(lx->children[0]->transform, mat4::Translation(0, 5, 0)));
}

TEST_F(SceneFileTest, BadReferencesAreDroppedNeverFollowed) {
    Scene loaded;
    Tool* lx = loadFirst(loaded, badReferencesFile());
    // x and z head their chunks; y hangs under x with no children; w, which
    // nothing adopts, is gone with its element.
    ASSERT_EQ(loaded.objectsRoot->children.size(), 1u);
    ASSERT_EQ(loaded.toolsRoot->children.size(), 1u);
    EXPECT_EQ(loaded.objects.size(), 2);
    ASSERT_EQ(lx->children.size(), 1u);
    Tool* ly = lx->children[0];
    EXPECT_TRUE(ly->children.empty());
    EXPECT_EQ(ly->element, nullptr);
    EXPECT_EQ(ringOf(ly).size(), 1u);
    EXPECT_EQ(loaded.toolsRoot->children[0]->element, nullptr);  // z named an element the file lacks
}

TEST_F(SceneFileTest, HierarchiesDeeperThanTheLimitAreRefused) {
    Scene deep;
    Tool* t = deep.objectsRoot;
    for (int i = 0; i < SceneReader::MaxDepth; ++i) t = t->addChild(object(), false);
    ASSERT_TRUE(deep.save(path("limit.tl")));
    t->addChild(object(), false);
    ASSERT_TRUE(deep.save(path("deeper.tl")));
    Scene loaded;
    EXPECT_TRUE(loaded.load(path("limit.tl")));
    EXPECT_EQ(loaded.objects.size(), SceneReader::MaxDepth);
    EXPECT_FALSE(loaded.load(path("deeper.tl")));
    EXPECT_EQ(loaded.objects.size(), SceneReader::MaxDepth);
}

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
    for (const Chunk& k : chunks) boundaries.push_back(k.end());
    for (std::size_t n = 0; n < good.size(); ++n)
        if (std::find(boundaries.begin(), boundaries.end(), n) == boundaries.end())
            refused(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)), "truncated");

    const std::size_t tools = chunks[1].start, mesh = chunks.back().start + 16;
    // The first face of the first mesh names a vertex far outside the list.
    const std::size_t face = mesh + 20 + 13 * u32At(good, mesh + 16) + 4;
    refused(patched(good, {{0, 0}}), "no header");
    refused(Bytes{}, "empty file");
    refused(patched(good, {{tools + 7, 0x7F}}), "chunk longer than the file");
    refused(patched(good, {{tools + 14, 0x01}}), "record longer than its chunk");
    refused(patched(good, {{tools + 12, 10}, {tools + 13, 0}}), "tool record too short for its body");
    refused(patched(good, {{face + 3, 0x7F}}), "vertex index");
    refused(patched(good, {{mesh + 16, 0xFF}, {mesh + 19, 0x0F}}), "vertex count beyond the record");

    EXPECT_FALSE(target.load(path("missing.tl")));
    EXPECT_EQ(Tool::Error, 1);
    writeBytes(path("junk.tl"), Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9});
    Scene junk(path("junk.tl"), false);  // the loading constructor leaves the scene empty
    EXPECT_TRUE(junk.objectsRoot->children.empty());

    // A sound file still loads into the same scene afterwards.
    Scene::Error = 0;
    EXPECT_TRUE(target.load(path("good.tl")));
    EXPECT_EQ(Scene::Error, 0);
}

TEST_F(SceneFileTest, FailedSaveLeavesTheFileOnDiskUntouched) {
    // A name of the longest length a folder entry may have: the file exists,
    // but no temporary file can be made beside it, so both saves fail before
    // the file is touched.
    const std::string longName = path(std::string(252, 'a') + ".tl");
    const Bytes old = {1, 2, 3};
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
    Tool* top = s.objectsRoot->addChild(object(unit, mat4::Translation(10, 0, 0)), false);  // its placement is left out
    top->pivot = mat4::Translation(0, 50, 0);
    top->addChild(new Tool(unit, mat4::Translation(0, 0, 2), pbr(), false), false);
    top->addChild(newTool(), false);  // empty: nothing
    ASSERT_TRUE(top->save(path("merged.OBJ")));

    Mesh merged;
    ASSERT_TRUE(merged.loadOBJ(path("merged.OBJ")));
    EXPECT_EQ(merged.faceCount(), 2 * unit->faceCount());
    vec3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
    for (const auto& v : merged.vertices) {
        lo = vec3(std::min(lo.x, v.position.x), std::min(lo.y, v.position.y), std::min(lo.z, v.position.z));
        hi = vec3(std::max(hi.x, v.position.x), std::max(hi.y, v.position.y), std::max(hi.z, v.position.z));
    }
    EXPECT_TRUE(near(lo, unit->toLocal(vec3(0, 0, 0)), 1e-4f));
    EXPECT_TRUE(near(hi, unit->toLocal(vec3(1, 1, 1)) + vec3(0, 0, 2), 1e-4f));  // the child's copy lies 2 above
    // The working copy is gone: the object is alone in its ring again.
    EXPECT_EQ(ringOf(top).size(), 1u);
    EXPECT_EQ(unit->refCount, 2);
}

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
    Scene s;
    buildScene(s);
    ASSERT_TRUE(s.save(path("scene.tl")));
    ASSERT_TRUE(a->save(path("object.tlo")));
    ASSERT_TRUE(s.toolsRoot->children[0]->save(path("template.tlo")));
    for (const char* name : {"empty.tl", "scene.tl", "object.tlo", "template.tlo"}) keep(name, readFile(path(name)));
    keep("skip.tl", skipFile());
    keep("unknown_elements.tl", unknownElementsFile());
    keep("window.tl", windowFile());
    keep("bad_references.tl", badReferencesFile());

    const Bytes scene = readFile(path("scene.tl"));
    const std::vector<Chunk> chunks = chunksOf(scene);
    const auto cut = [&scene](std::size_t from, std::size_t to) {
        return Bytes(scene.begin() + std::ptrdiff_t(from), scene.begin() + std::ptrdiff_t(to));
    };
    keep("truncated_half.tl", cut(0, scene.size() / 2));
    keep("truncated_header.tl", cut(0, 12));
    const std::size_t tools = chunks[1].start, mesh = chunks.back().start + 16;
    keep("chunk_too_long.tl", patched(scene, {{tools + 7, 0x7F}}));
    keep("record_too_short.tl", patched(scene, {{tools + 12, 10}, {tools + 13, 0}}));
    keep("vertex_count.tl", patched(scene, {{mesh + 19, 0x0F}}));
    // The same bytes read with the older layouts.
    for (std::uint32_t v : {20060401u, 20060411u, 20161025u}) {
        const auto byte = [v](int i) { return std::uint8_t(v >> (8 * i)); };
        const Bytes older = patched(scene, {{4, byte(0)}, {5, byte(1)}, {6, byte(2)}, {7, byte(3)}});
        keep("version_" + std::to_string(v) + ".tl", older);
    }
    // A second header in the middle, and chunks in reverse order.
    Bytes b = cut(0, chunks.back().start);
    const Bytes header = cut(0, 8), elements = cut(chunks.back().start, scene.size());
    b.insert(b.end(), header.begin(), header.end());
    b.insert(b.end(), elements.begin(), elements.end());
    keep("second_header.tl", b);
    b = header;
    for (auto it = chunks.rbegin(); it != chunks.rend(); ++it) {
        const Bytes chunk = cut(it->start, it->end());
        b.insert(b.end(), chunk.begin(), chunk.end());
    }
    keep("reversed_chunks.tl", b);
}
