// Scene and object files: the byte layout, round trips, merging object
// files, odd records, rings across the file's border, what the writer
// refuses to write, the merged OBJ export, atomic saves, refused files, and
// every element and tool record through a save and a load.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "curves/bezier_curve.h"
#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/animated_sprite.h"
#include "elements/clay.h"
#include "elements/lightning.h"
#include "elements/revoluton.h"
#include "elements/sprite.h"
#include "elements/tube.h"
#include "files/every_record_util.h"
#include "files/scene_reader.h"
#include "files/scene_writer.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/ring_walks.h"
#include "scene/scene.h"
#include "scene/tool_test_util.h"
#include "tools/array.h"
#include "tools/bi_tool.h"
#include "tools/cable.h"

using namespace qel;
using tooltest::near;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::treeSize;

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

// The chunks after the header of a file: tag, offset and number of records.
struct Chunk {
    std::uint32_t tag;
    std::size_t start, records;
};
std::vector<Chunk> chunksOf(const Bytes& bytes) {
    buffer b(bytes);
    b.seek(8);
    std::vector<Chunk> out;
    std::uint32_t tag = 0, length = 0;
    for (std::size_t start = 8; b.readRecordHeader(tag, length); start = std::size_t(b.cursor())) {
        out.push_back({tag, start, 0});
        const buffer::ReadLimit chunk(b, b.cursor() + std::int32_t(length));
        for (std::uint32_t t = 0, n = 0; b.readRecordHeader(t, n); b.skip(n)) ++out.back().records;
    }
    return out;
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

// The face count of a mesh element, -1 for anything else.
int faces(const Element* e) {
    const auto* m = dynamic_cast<const Mesh*>(e);
    return m ? m->faceCount() : -1;
}

// Tools x (children y, z) with a record 0xABCDEF03 between x and y; x's
// record carries 12 bytes more than its reader consumes. x and z name two
// records of unknown tags, y the tetrahedron after them.
Bytes oddRecordsFile(Mesh* tetra) {
    Tool* x = object();
    x->addChild(object(nullptr, mat4::Translation(0, 5, 0)), false);
    x->addChild(object(), false);
    std::vector<Tool*> list;
    x->toList(list);
    buffer tools, elements, empty;
    const std::uint32_t elementIds[] = {0, 2, 1};
    for (Tool* t : list) {
        buffer body;
        t->Data(body, true);
        body.patchU32(body.size() - 16, elementIds[t->id]);  // the element id
        if (t == x)
            for (int i = 0; i < 3; ++i) body.writeU32(Tool::RecordTag);
        tools.writeRecord(Tool::RecordTag, body);
        if (t == x) tools.writeRecord(0xABCDEF03u, empty);
    }
    elements.writeRecord(0xE0FFFFF1u, empty);
    elements.writeRecord(0xE1234567u, empty);
    tetra->DataWrite(elements);
    delete x;
    return fileOf({{ToolsChunk, tools}, {ElementsChunk, elements}});
}

// An element that writes a given number of records.
class MiscountedElement : public Element {
public:
    explicit MiscountedElement(int records) : Element(TType::Curve), records_(records) {}
    void DataWrite(buffer& b) override {
        for (int i = 0; i < records_; ++i) b.writeRecord(0xE1000002u, buffer());
    }

private:
    int records_;
};

// The class of an element or a tool, by its dynamic type.
std::string nameOf(Element* e) {
    if (!e) return "-";
    if (dynamic_cast<BezierCurve*>(e)) return "bezier";
    if (dynamic_cast<UCurve*>(e)) return "resampled";
    if (dynamic_cast<Curve*>(e)) return "curve";
    if (dynamic_cast<Mesh*>(e)) return "mesh";
    if (dynamic_cast<Clay*>(e)) return "clay";
    if (dynamic_cast<Tube*>(e)) return "tube";
    if (dynamic_cast<Revoluton*>(e)) return "revoluton";
    if (dynamic_cast<Lightning*>(e)) return "lightning";
    if (dynamic_cast<Sprite*>(e)) return "sprite";
    if (dynamic_cast<AnimatedSprite*>(e)) return "animated";
    return "other";
}
std::string nameOf(Tool* t) {
    if (dynamic_cast<Cable*>(t)) return "cable";
    if (dynamic_cast<BiTool*>(t)) return "end";
    if (dynamic_cast<Array*>(t)) return "array";
    return "tool";
}

// The structure of a scene as text: one line per tool in the writers'
// numbering, then one per element reached from them (sub-elements too):
// classes, kinds, type codes, reference counts, and every link as a number
// (parent, next ring member, partner, array slots and curve, sub-elements),
// so that scenes of one structure give one text whatever their addresses.
std::string structureOf(Scene& s) {
    std::vector<Tool*> tools;
    for (Root* root : {s.toolsRoot, s.objectsRoot})
        for (Tool* top : root->children) top->toList(tools);
    std::map<const Tool*, int> toolIds = {{nullptr, -1}, {s.toolsRoot, -2}, {s.objectsRoot, -3}};
    for (std::size_t i = 0; i < tools.size(); ++i) toolIds.emplace(tools[i], int(i));
    std::vector<Element*> elements;
    std::map<const Element*, int> elementIds = {{nullptr, -1}};
    for (std::size_t i = 0; i <= elements.size(); ++i) {  // grows as sub-elements are met
        std::vector<Element*> reached;
        if (i == 0)
            for (Tool* t : tools) reached.push_back(t->element);
        else
            elements[i - 1]->subElements(reached);
        for (Element* e : reached)
            if (elementIds.emplace(e, int(elements.size())).second) elements.push_back(e);
    }
    const auto tool = [&toolIds](const Tool* t) { return toolIds.count(t) ? toolIds.at(t) : -9; };
    std::ostringstream out;
    for (Tool* t : tools) {
        out << nameOf(t) << " kind " << t->kind << " flags " << int(t->flags) << " element "
            << elementIds.at(t->element) << " parent " << tool(t->parent) << " next " << tool(t->nextInstance);
        if (auto* end = dynamic_cast<BiTool*>(t)) out << " type " << end->type << " partner " << tool(end->partner);
        if (auto* array = dynamic_cast<Array*>(t)) {
            out << " curve " << elementIds.at(array->curve) << " slots";
            for (Tool* item : array->items) out << ' ' << tool(item);
        }
        out << '\n';
    }
    for (Element* e : elements) {
        out << nameOf(e) << " type " << int(e->type) << " count " << e->refCount << " holds";
        std::vector<Element*> subs;
        e->subElements(subs);
        for (Element* sub : subs) out << ' ' << elementIds.at(sub);
        out << '\n';
    }
    return out.str();
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
    // with a ring of two objects.
    void buildScene(Scene& s) {
        cube = Mesh::Cube();
        cube->initialize(Element::ResizeKeep);
        tetra = Mesh::Tetrahedron();
        tetra->initialize(Element::ResizeKeep);
        Tool* tmpl = s.addTool(new Tool(cube, mat4::Scale(2), pbr(), false));
        tmpl->addChild(new Tool(tetra, mat4::Translation(0, 0, 1), pbr(), true), false);

        a = s.objectsRoot->addChild(object(cube, mat4::Translation(1, 2, 3)), false);
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
}

TEST_F(SceneFileTest, SceneRoundTripKeepsHierarchyRingsElementsAndFields) {
    Scene s;
    buildScene(s);
    // Outsiders, with ids naming tools of the file, stand between a and d
    // and between d and a: a -> x -> d -> y -> a.
    Tool x(nullptr, mat4::Identity(), pbr(), false), y(nullptr, mat4::Identity(), pbr(), false);
    x.id = 2;
    y.id = 3;
    a->joinInstances(&x);
    d->joinInstances(&y);
    ASSERT_TRUE(s.save(path("scene.tl")));
    EXPECT_EQ(x.id, 2);
    // One tools chunk per hierarchy (template, a's, d's); shared elements written once.
    const std::vector<Chunk> chunks = chunksOf(readFile(path("scene.tl")));
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_TRUE(chunks[1].records == 3u && chunks[3].tag == ElementsChunk && chunks[3].records == 2u);
    EXPECT_TRUE(cube->id == -1 && !a->isTempMarked());  // element ids reset, no mark left

    Scene loaded(path("scene.tl"), false);
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
    // One element per distinct element, shared as before.
    EXPECT_TRUE(la->element == lb->children[0]->element && la->element == ld->element && la->element == tmpl->element);
    EXPECT_EQ(lb->element, tmpl->children[0]->element);
    EXPECT_EQ(la->element->refCount, 4);
    EXPECT_TRUE(faces(la->element) == cube->faceCount() && faces(lb->element) == tetra->faceCount());
    EXPECT_EQ(ringOf(la), (std::vector<Tool*>{la, ld}));
    EXPECT_EQ(ringOf(lb).size(), 1u);
    // The lists are built: ids can be used at once.
    EXPECT_TRUE(loaded.findObject(1) == la && loaded.findID(ld) == 4);
    // The check takes outside tools out of the rings.
    EXPECT_TRUE(s.CHECK());
    EXPECT_EQ(ringOf(a), (std::vector<Tool*>{a, d}));
    EXPECT_EQ(ringOf(&x).size(), 1u);

    // A chunk of an unknown tag before the elements is skipped.
    Bytes bytes = readFile(path("scene.tl"));
    const Bytes extra = {0x78, 0x56, 0x34, 0x12, 5, 0, 0, 0, 1, 2, 3, 4, 5};
    bytes.insert(bytes.begin() + std::ptrdiff_t(chunks.back().start), extra.begin(), extra.end());
    Scene other;
    EXPECT_EQ(treeSize(loadFirst(other, bytes)), 3u);
    EXPECT_EQ(faces(other.objectsRoot->children[1]->element), cube->faceCount());
}

TEST_F(SceneFileTest, ObjectFileMergedTwiceGivesTwoIndependentCopies) {
    Scene s;
    buildScene(s);
    // d, in a's ring, carries a highlight mark and an id naming a's child.
    d->flags |= Tool::FlagTemp;
    d->id = 1;
    ASSERT_TRUE(a->save(path("a.tlo")));
    EXPECT_TRUE(d->isTempMarked() && d->id == 1);
    const std::vector<Chunk> chunks = chunksOf(readFile(path("a.tlo")));
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_TRUE(chunks[0].records == 3u && chunks[1].records == 2u);

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
    EXPECT_TRUE(ringOf(first).size() == 1u && ringOf(second).size() == 1u && ringOf(second->children[0]).size() == 1u);
    EXPECT_EQ(target.currentTool, nullptr);

    // A template's object file becomes the current tool.
    ASSERT_TRUE(s.toolsRoot->children[0]->save(path("tmpl.tlo")));
    ASSERT_TRUE(target.load(path("tmpl.tlo")));
    ASSERT_EQ(target.toolsRoot->children.size(), 1u);
    EXPECT_EQ(target.currentTool, target.toolsRoot->children[0]);
}

TEST_F(SceneFileTest, OddRecordsKeepThePositionsOfTheOthers) {
    Mesh* tetra = Mesh::Tetrahedron();
    const Bytes bytes = oddRecordsFile(tetra);
    delete tetra;
    Scene loaded;
    Tool* lx = loadFirst(loaded, bytes);
    ASSERT_NE(lx, nullptr);
    // The skipped record took no id; x's extra bytes did not shift y.
    ASSERT_EQ(lx->children.size(), 2u);
    EXPECT_TRUE(near(lx->children[0]->transform, mat4::Translation(0, 5, 0)));
    // The unknown records kept the tetrahedron's position and became one
    // placeholder sphere.
    EXPECT_EQ(faces(lx->children[0]->element), 4);
    EXPECT_EQ(faces(lx->element), 20 * 64);
    EXPECT_TRUE(lx->children[1]->element == lx->element && lx->element->refCount == 2);

    // A reader used again makes a new placeholder each time.
    Scene first, second;
    SceneReader reader;
    for (Scene* s : {&first, &second}) {
        buffer once(bytes), again(bytes);
        ASSERT_TRUE(reader.parse(once));
        ASSERT_TRUE(reader.parse(again));  // drops what the first parse made
        reader.mergeInto(*s);
    }
    EXPECT_NE(second.objectsRoot->children[0]->element, first.objectsRoot->children[0]->element);
    EXPECT_EQ(second.objectsRoot->children[0]->element->refCount, 2);
}

TEST_F(SceneFileTest, HierarchiesDeeperThanTheReaderAcceptsAreNeitherWrittenNorRead) {
    Scene deep;
    Tool* t = deep.objectsRoot;
    for (int i = 0; i < SceneReader::MaxDepth; ++i) t = t->addChild(object(), false);
    ASSERT_TRUE(deep.save(path("limit.tl")));
    Scene loaded;
    EXPECT_TRUE(loaded.load(path("limit.tl")));
    EXPECT_EQ(loaded.objects.size(), SceneReader::MaxDepth);

    t->addChild(object(), false);
    Tool* top = deep.objectsRoot->children[0];
    EXPECT_FALSE(deep.save(path("deeper.tl")));
    EXPECT_FALSE(top->save(path("deeper.tlo")));
    EXPECT_FALSE(std::ifstream(path("deeper.tl")).good());
    EXPECT_FALSE(std::ifstream(path("deeper.tlo")).good());
    EXPECT_TRUE(top->children[0]->save(path("below.tlo")));  // counted from its own top

    // Such a file, made by hand, is refused.
    std::vector<Tool*> chain;
    top->toList(chain);
    buffer records;
    for (Tool* x : chain) x->DataWrite(records, true);
    writeBytes(path("deeper.tl"), fileOf({{ToolsChunk, records}, {ElementsChunk, buffer()}}));
    EXPECT_FALSE(loaded.load(path("deeper.tl")));
    EXPECT_EQ(loaded.fileError, "its objects are nested deeper than 4096 levels");
    EXPECT_EQ(loaded.objects.size(), SceneReader::MaxDepth);
}

TEST_F(SceneFileTest, RingsLoadAndDeleteInWorkLinearInTheirSize) {
    // n objects in the template's ring as the program places and saves them.
    const std::size_t n = 4096;
    {
        Scene s;
        Tool* tmpl = s.addTool(new Tool(Mesh::Cube(), mat4::Identity(), pbr(), false));
        for (std::size_t i = 0; i < n; ++i)
            s.objectsRoot->addChild(tmpl->cloneObject(mat4::Identity(), true, false), false);
        ASSERT_TRUE(s.save(path("ring.tl")));
    }
    // A walk along the ring for a member's predecessor, once per member,
    // made both the load and the deletion quadratic: n (n + 1) / 2 steps.
    ringWalkSteps = 0;
    auto* s = new Scene(path("ring.tl"), false);
    const std::uint64_t loading = ringWalkSteps;
    EXPECT_EQ(ringOf(s->objectsRoot->children[0], 2 * n).size(), n + 1);
    ringWalkSteps = 0;
    delete s;
    EXPECT_LE(loading, 2 * n);
    EXPECT_LE(ringWalkSteps, 2 * n);
}

TEST_F(SceneFileTest, FailedLoadsAndSavesChangeNothing) {
    // Damaged files are in the kept inputs of the scene reader's fuzz target;
    // here a file that cannot be opened at all.
    Scene target;
    EXPECT_FALSE(target.load(path("missing.tl")));
    EXPECT_TRUE(Scene::Error == 1 && Tool::Error == 1);
    // A name of the longest length a folder entry may have: the file exists,
    // but no temporary file can be made beside it, so both saves fail before
    // the file is touched.
    const std::string longName = path(std::string(252, 'a') + ".tl");
    const Bytes old = {1, 2, 3};
    writeBytes(longName, old);
    writeBytes(path("kept.tl"), old);
    Scene big;
    buildScene(big);
    EXPECT_FALSE(big.save(longName));
    EXPECT_FALSE(a->save(longName));
    // An element that writes no record or two would shift every later id.
    for (int records : {0, 2}) {
        a->setElement(new MiscountedElement(records));
        EXPECT_FALSE(big.save(path("kept.tl"))) << records;
        EXPECT_FALSE(a->save(path("kept.tl"))) << records;
        buffer b;
        std::string error;
        EXPECT_FALSE(scenefile::writeElementsChunk(b, {a->element}, error));
        EXPECT_NE(error.find("curve"), std::string::npos) << error;
    }
    EXPECT_EQ(readFile(longName), old);
    EXPECT_EQ(readFile(path("kept.tl")), old);
    // The scene is as before the attempts: element ids reset, no marks left.
    EXPECT_EQ(a->element->id, -1);
    EXPECT_FALSE(a->isTempMarked());
}

// A refused file and a file not written each leave the reason: what the
// reader found, by the byte, or what the file system refused.
TEST_F(SceneFileTest, RefusedLoadsAndFailedSavesSayWhy) {
    Scene big;
    buildScene(big);
    ASSERT_TRUE(big.save(path("whole.tl")));
    const Bytes whole = readFile(path("whole.tl"));
    const std::vector<Chunk> chunks = chunksOf(whole);
    const Chunk& last = chunks.back();
    const std::size_t lastEnd = whole.size();
    const auto cut = [&](std::size_t n) { return Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(n)); };
    buffer longRecord, lightning;
    longRecord.writeU32(Tool::RecordTag);
    longRecord.writeU32(100);
    lightning.writeRecord(0xE1100005u, buffer());  // a lightning record without its 20 bytes
    const std::string at = std::to_string(last.start);
    Bytes longerLast = whole;
    const std::uint32_t lastLength = std::uint32_t(lastEnd - last.start - 8) + 1000;
    for (int i = 0; i < 4; ++i) longerLast[last.start + 4 + std::size_t(i)] = std::uint8_t(lastLength >> (8 * i));
    const std::pair<Bytes, std::string> refused[] = {
        {{}, "it is empty"},
        {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13}, "it is not a scene or object file"},
        {{0xAA, 0xAA, 0xFF, 0xFF, 0x1a}, "it is cut short at byte 5"},
        {cut(lastEnd - 7), "the chunk at byte " + at + " claims to run to byte " + std::to_string(lastEnd) +
                               ", past the end of the file at byte " + std::to_string(lastEnd - 7)},
        // A damaged length reads as a cut does: the reader says what it read.
        {longerLast, "the chunk at byte " + at + " claims to run to byte " + std::to_string(lastEnd + 1000) +
                         ", past the end of the file at byte " + std::to_string(lastEnd)},
        {cut(last.start + 5), "it is cut short at byte " + std::to_string(last.start + 5) +
                                  ", inside the chunk header at byte " + at},
        {fileOf({{ToolsChunk, longRecord}}), "the record at byte 16 runs past the end of its chunk"},
        {fileOf({{ElementsChunk, lightning}}), "the element record at byte 16 is damaged"}};
    for (const auto& [bytes, reason] : refused) {
        writeBytes(path("refused.tl"), bytes);
        Scene s;
        EXPECT_FALSE(s.load(path("refused.tl"))) << reason;
        EXPECT_EQ(s.fileError, reason);
    }
    Scene s;
    EXPECT_FALSE(s.load(path("missing.tl")));
    EXPECT_EQ(s.fileError, "there is no such file");
    EXPECT_TRUE(s.load(path("whole.tl")));
    EXPECT_EQ(s.fileError, "");

    // Saves into a folder that does not exist: scene, object, both exports.
    const std::string none = path("none");
    for (const std::string name : {"/a.tl", "/a.obj"}) {
        EXPECT_FALSE(big.save(none + name)) << name;
        EXPECT_EQ(big.fileError, "there is no folder " + none) << name;
    }
    for (const std::string name : {"/a.tlo", "/a.obj"}) {
        std::string why;
        EXPECT_FALSE(a->save(none + name, why)) << name;
        EXPECT_EQ(why, "there is no folder " + none) << name;
    }
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

TEST_F(SceneFileTest, EveryRecordTypeRoundTripsByteForByte) {
    QImage image(4, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromStdString(path("image.png"))));
    Scene s;
    everyrecord::build(s, path("image.png"));
    const std::string built = structureOf(s);
    ASSERT_TRUE(s.save(path("first.tl")));

    Scene loaded;
    ASSERT_TRUE(loaded.load(path("first.tl")));
    EXPECT_EQ(structureOf(loaded), built);
    ASSERT_TRUE(loaded.save(path("second.tl")));
    EXPECT_EQ(readFile(path("second.tl")), readFile(path("first.tl")));

    // The links the text names by number, followed through the pointers.
    std::vector<Tool*> tools;
    for (Tool* top : loaded.objectsRoot->children) top->toList(tools);
    int ends = 0;
    for (Tool* t : tools)
        if (auto* end = dynamic_cast<BiTool*>(t)) {
            ++ends;
            EXPECT_TRUE(end->partner && end->partner->partner == end);
        }
    EXPECT_EQ(ends, 4);
    const std::vector<Tool*>& tops = loaded.objectsRoot->children;
    ASSERT_EQ(tops.size(), 15u);
    auto* cable = dynamic_cast<Cable*>(tops[13]);
    ASSERT_TRUE(cable && cable->cableTube());
    EXPECT_TRUE(cable->partner == tops[14] && cable->referenceLength > 2.0f);
    auto* array = dynamic_cast<Array*>(tops[10]);
    ASSERT_TRUE(array && array->curve == array->element && array->items.size() == 2u);
    EXPECT_TRUE(array->items[0] && array->items[0]->parent == array && array->items[1] == nullptr);
    EXPECT_EQ(treeSize(array->items[0]), 2u);
    // The sprites read their image again.
    EXPECT_TRUE(static_cast<Sprite*>(tops[8]->element)->hasImage());
    EXPECT_TRUE(static_cast<AnimatedSprite*>(tops[9]->element)->hasImage());
}

TEST_F(SceneFileTest, OldElementAndToolLayoutsLoadIntoTheCurrentTypes) {
    // Kept inputs of the scene reader's fuzz target, each holding old
    // records, with a line of what they load as structureOf writes it.
    const struct {
        const char* file;
        const char* line;
    } rows[] = {
        {"curves_current_and_old_tag.tl",
         "\ncurve type 2 count 1 holds\ncurve type 2 count 1 holds\ncurve"},      // 0xE0000002
        {"revoluton_old_layout.tl", "revoluton type 4 count 1 holds 5 6\n"},      // 0xE0000004
        {"tube_old_layout.tl", "tube type 5 count 2 holds 3 4\n"},                // 0xE0000005
        {"resampled_old_embedded.tl", "resampled type 3 count 2 holds 1\n"},      // 0xE0000007
        {"resampled_old_nested_curve.tl", "resampled type 3 count 1 holds 1\n"},  // 0xE0000008
        {"array_old_layout.tl", "array kind 1 flags 1 element 0 parent 0 next 1 curve 0 slots 2 -1 3\n"},
        {"end_pair_old.tl", "end kind 2 flags 9 element -1 parent -3 next 0 type 3 partner 1\n"},
        {"cable_old_layout_one_tube.tl",
         "cable kind 2 flags 8 element 0 parent -3 next 0 type 1 partner 1\n"
         "cable kind 2 flags 8 element 0 parent -3 next 1 type 1 partner 0\n"
         "tube type 5 count 2 holds 1 2\nbezier"},
    };
    for (const auto& row : rows) {
        Scene old;
        ASSERT_TRUE(old.load(std::string(TL_FUZZ_CORPUS "/scene_load/") + row.file)) << row.file;
        const std::string structure = structureOf(old);
        EXPECT_NE(structure.find(row.line), std::string::npos) << row.file << ":\n" << structure;
        // Written in the current records, it reads back the same.
        ASSERT_TRUE(old.save(path("current.tl")));
        Scene loaded;
        ASSERT_TRUE(loaded.load(path("current.tl")));
        EXPECT_EQ(structureOf(loaded), structure) << row.file;
        ASSERT_TRUE(loaded.save(path("again.tl")));
        EXPECT_EQ(readFile(path("again.tl")), readFile(path("current.tl"))) << row.file;
    }
}

namespace {

// A wavy open grid of 2 x w x h faces, each corner of its own material, a
// row of sharp edges across it, initialized.
Mesh* largeGrid(int w, int h) {
    auto* m = new Mesh();
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) m->vertexAdd(vec3(float(x), float(y), 0.1f * float((x * 7 + y * 3) % 5)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = y * (w + 1) + x;
            m->faceAdd(v, v + 1, v + w + 2, y == h / 2, false, false);
            m->faceAdd(v, v + w + 2, v + w + 1);
        }
    for (std::size_t i = 0; i < m->faces.size(); ++i)
        for (int k = 0; k < 3; ++k)
            m->faces[i].material[k] = pbr(wvec4(std::int16_t(i), std::int16_t(k), 3, 4), wvec4(5, 6, 7, 8), 100, -100);
    m->initialize(Element::ResizeKeep);
    return m;
}

}  // namespace

// The writer hands a large mesh's record to the file a block of faces at a
// time, its vertex records afterwards: the file holds each element's record
// exactly as it is written into memory, and a load and save writes it again.
TEST_F(SceneFileTest, AMeshLargerThanTheWritersBlocksSavesItsOwnRecord) {
    Scene s;
    Mesh* large = largeGrid(230, 120);  // 55,200 faces: several blocks
    Mesh* small = Mesh::Tetrahedron();
    small->initialize(Element::ResizeKeep);
    // A vertex flag an edit left behind: the writer settles it, in memory
    // and in the file alike.
    large->vertices[5].flags = std::uint8_t(large->vertices[5].flags | MeshVertex::CornerBit);
    s.objectsRoot->addChild(object(large), false);
    s.objectsRoot->addChild(object(small, mat4::Translation(3, 0, 0)), false);
    ASSERT_TRUE(s.save(path("large.tl")));
    const Bytes file = readFile(path("large.tl"));

    buffer expected;
    expected.beginRecord(ElementsChunk);
    large->DataWrite(expected);
    small->DataWrite(expected);
    expected.endRecord(4);
    const std::vector<Chunk> chunks = chunksOf(file);
    ASSERT_EQ(chunks.size(), 3u);  // one tools chunk per object, the elements
    EXPECT_TRUE(chunks[2].tag == ElementsChunk && chunks[2].records == 2u);
    ASSERT_EQ(file.size() - chunks[2].start, std::size_t(expected.size()));
    EXPECT_TRUE(std::equal(file.begin() + std::ptrdiff_t(chunks[2].start), file.end(), expected.bytes().begin()));

    Scene loaded;
    ASSERT_TRUE(loaded.load(path("large.tl")));
    ASSERT_TRUE(loaded.save(path("again.tl")));
    EXPECT_EQ(readFile(path("again.tl")), file);
}

namespace {

// Seeks of this process fail while this is set: the file being written
// cannot be positioned. Every seek passes through here (the standard
// library's own seek is taken in its place), so that a failure can be made
// without a broken disk.
bool failSeeks = false;

template <class Seek>
Seek realSeek(const char* name) {
    return reinterpret_cast<Seek>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" off64_t lseek64(int fd, off64_t offset, int whence) {
    static const auto real = realSeek<off64_t (*)(int, off64_t, int)>("lseek64");
    if (failSeeks) {
        errno = EIO;
        return -1;
    }
    return real(fd, offset, whence);
}

extern "C" off_t lseek(int fd, off_t offset, int whence) {
    static const auto real = realSeek<off_t (*)(int, off_t, int)>("lseek");
    if (failSeeks) {
        errno = EIO;
        return -1;
    }
    return real(fd, offset, whence);
}

// A save whose writes or seeks fail on the way is refused and leaves the
// file as it was: a block that could not be written (the file may not grow
// past 64 KB here) and a seek that failed (the writer goes back to fill in a
// chunk's length) both fail the save, and nothing is committed.
TEST_F(SceneFileTest, ASaveWhoseWritesOrSeeksFailKeepsTheOldFile) {
    Scene s;
    s.objectsRoot->addChild(object(largeGrid(230, 120)), false);  // over a megabyte: blocks spill
    const Bytes old = {1, 2, 3};
    writeBytes(path("kept.tl"), old);
    {
        const sighandler_t before = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{rlim_t(64) << 10, limit.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved = s.save(path("kept.tl"));
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, before);
        EXPECT_FALSE(saved);
        EXPECT_EQ(readFile(path("kept.tl")), old);
    }
    failSeeks = true;
    const bool saved = s.save(path("kept.tl"));
    failSeeks = false;
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(path("kept.tl")), old);
    // With writes and seeks back, the same save succeeds.
    ASSERT_TRUE(s.save(path("kept.tl")));
    Scene loaded;
    EXPECT_TRUE(loaded.load(path("kept.tl")));
}
