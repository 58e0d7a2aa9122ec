// The clay element without a GL context: its record through the element
// factory, the sharing of its mesh, the scene's conversion to clay and a
// loaded clay shared by two objects. A clay that was never drawn has no
// buffers, so its mesh holds the current positions.

#include "elements/clay.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "files/element_factory.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"

using namespace qel;

namespace {

// An element of a type that has no mesh form (ToMesh gives null), or one
// whose mesh form is a cube.
struct ShapedElement : Element {
    ShapedElement(TType t, bool convertible) : Element(t), convertible_(convertible) {}
    Mesh* ToMesh() override { return convertible_ ? Mesh::Cube() : nullptr; }
    bool convertible_;
};

// The number of whole records in the buffer, and the tag of the first.
int records(const buffer& b, std::uint32_t& firstTag) {
    int n = 0;
    std::int64_t at = 0;
    firstTag = 0;
    while (at + 8 <= b.size()) {
        if (n == 0) firstTag = buffer::loadU32(b.data() + at);
        at += 8 + std::int64_t(buffer::loadU32(b.data() + at + 4));
        ++n;
    }
    return at == b.size() ? n : -1;
}

// Reads one element record with the factory, as a file of the version
// written today.
ElementFactory::TResult readRecord(const buffer& written, Element*& e) {
    buffer in(written.bytes());
    std::uint32_t tag = 0, length = 0;
    EXPECT_TRUE(in.readRecordHeader(tag, length));
    ElementFactory factory;
    const std::int32_t version = FILE_VERSION;
    FILE_VERSION = FILE_VERSION_WRITTEN;
    const ElementFactory::TResult result = factory.read(tag, in, e);
    FILE_VERSION = version;
    return result;
}

Tool* placeObject(Scene& scene, Element* e) {
    Tool source(e, mat4::Identity(), pbr(), false);
    return scene.addObject(&source, mat4::Identity(), Scene::HangTop, false);
}

}  // namespace

TEST(Clay, HoldsItsOwnCopyOfTheMeshWithTheMeshsFrame) {
    std::unique_ptr<Mesh> cube(Mesh::Cube());
    cube->initialize(Element::ResizeBox);
    Clay clay(cube.get());
    ASSERT_NE(clay.mesh, nullptr);
    EXPECT_NE(clay.mesh, cube.get());
    EXPECT_EQ(clay.type, Element::TType::Clay);
    EXPECT_EQ(clay.mesh->faces.size(), cube->faces.size());
    EXPECT_EQ(clay.centre, cube->centre);
    EXPECT_EQ(clay.size(), cube->size());
    EXPECT_EQ(clay.buffers, std::vector<std::uint32_t>({0, 0}));

    // The mesh is the one sub-element, but files list the clay alone.
    std::vector<Element*> subs, all;
    clay.subElements(subs);
    clay.allElements(all);
    EXPECT_EQ(subs, std::vector<Element*>({clay.mesh}));
    EXPECT_EQ(all, std::vector<Element*>({&clay}));

    // Null builds an empty clay that draws nothing.
    Clay empty(nullptr);
    EXPECT_EQ(empty.mesh, nullptr);
    EXPECT_FALSE(empty.enableVBO());
    EXPECT_EQ(empty.ToMesh(), nullptr);
}

TEST(Clay, RecordIsTheMeshRecordUnderTheClayTagAndReadsBackAsAClay) {
    std::unique_ptr<Mesh> ico(Mesh::Icosahedron());
    ico->faces[3].material[1] = pbr(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 9, 10);
    auto* clay = new Clay(ico.get());
    buffer out;
    clay->DataWrite(out);
    std::uint32_t tag = 0;
    ASSERT_EQ(records(out, tag), 1);
    EXPECT_EQ(tag, Clay::RecordTag);

    Element* read = nullptr;
    ASSERT_EQ(readRecord(out, read), ElementFactory::Built);
    auto* back = dynamic_cast<Clay*>(read);
    ASSERT_TRUE(back && back->mesh);
    ASSERT_EQ(back->mesh->faces.size(), clay->mesh->faces.size());
    for (std::uint32_t f = 0; f < back->mesh->faces.size(); ++f)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(back->mesh->vertices[back->mesh->faces[f].v[c]].position,
                      clay->mesh->vertices[clay->mesh->faces[f].v[c]].position);
            EXPECT_EQ(back->mesh->faces[f].material[c], clay->mesh->faces[f].material[c]);
        }
    delete back;
    delete clay;
}

TEST(Clay, TruncatedRecordIsRefused) {
    std::unique_ptr<Mesh> cube(Mesh::Cube());
    Clay clay(cube.get());
    buffer out;
    clay.DataWrite(out);
    // The record's length and bytes cut short by 40 bytes.
    std::vector<std::uint8_t> bytes = out.bytes();
    bytes.resize(bytes.size() - 40);
    buffer cut(bytes);
    cut.patchU32(4, std::uint32_t(bytes.size() - 8));
    Element* read = nullptr;
    EXPECT_EQ(readRecord(cut, read), ElementFactory::Refused);
    EXPECT_EQ(read, nullptr);
}

TEST(Clay, SharingCountsTheMeshWithTheClayAndALoadedReferenceHoldsBoth) {
    std::unique_ptr<Mesh> cube(Mesh::Cube());
    auto* clay = new Clay(cube.get());
    Mesh* mesh = clay->mesh;
    clay->copy(2);
    EXPECT_EQ(mesh->refCount, 2);
    clay->release(1);
    EXPECT_EQ(mesh->refCount, 1);
    clay->resolve({});
    EXPECT_EQ(clay->refCount, 2);
    EXPECT_EQ(mesh->refCount, 2);
    clay->release(2);
    EXPECT_EQ(clay->mesh, nullptr) << "the released mesh is forgotten";
    delete clay;
}

TEST(SceneToClay, RefusesWhatHasNoMeshAndChangesNothing) {
    Scene scene;
    Clay* clay = new Clay(std::unique_ptr<Mesh>(Mesh::Cube()).get());
    for (Element* e : {static_cast<Element*>(new ShapedElement(Element::TType::Revoluton, false)),
                       static_cast<Element*>(new ShapedElement(Element::TType::Sprite, true)),
                       static_cast<Element*>(new ShapedElement(Element::TType::AnimatedSprite, true)),
                       static_cast<Element*>(clay)}) {
        Tool* object = placeObject(scene, e);
        scene.toList();
        EXPECT_FALSE(scene.ToClay(e)) << int(e->type);
        EXPECT_EQ(object->element, e);
    }
    EXPECT_FALSE(scene.ToClay(nullptr));
}

TEST(SceneToClay, ConvertsEveryObjectShowingTheElementAndFreesWhatItMade) {
    Scene scene;
    // A mesh shared by two objects and a third object of its own.
    Mesh* shared = Mesh::Cube();
    Tool* a = placeObject(scene, shared);
    Tool* b = a->cloneObject(mat4::Identity(), true, false);
    scene.objectsRoot->addChild(b, false);
    Tool* other = placeObject(scene, Mesh::Cube());
    // An element whose mesh form is a conversion.
    Tool* converted = placeObject(scene, new ShapedElement(Element::TType::Tube, true));
    scene.toList();

    ASSERT_TRUE(scene.ToClay(shared));
    ASSERT_TRUE(a->element->isType(Element::TType::Clay));
    EXPECT_EQ(b->element, a->element);
    EXPECT_EQ(a->element->refCount, 2);
    EXPECT_EQ(static_cast<Clay*>(a->element)->mesh->refCount, 2);
    EXPECT_TRUE(other->element->isType(Element::TType::Mesh));

    ASSERT_TRUE(scene.ToClay(converted->element));
    EXPECT_TRUE(converted->element->isType(Element::TType::Clay));
    // An element no listed object shows makes a clay that nobody takes.
    std::unique_ptr<Mesh> loose(Mesh::Cube());
    EXPECT_FALSE(scene.ToClay(loose.get()));
}

TEST(Clay, ALoadedClaySharedByTwoObjectsSurvivesTheDeletionOfOneAndSaves) {
    QTemporaryDir dir;
    const std::string first = dir.filePath("first.tl").toStdString();
    const std::string second = dir.filePath("second.tl").toStdString();
    {
        Scene scene;
        Tool* a = placeObject(scene, new Clay(std::unique_ptr<Mesh>(Mesh::Icosahedron()).get()));
        scene.objectsRoot->addChild(a->cloneObject(mat4::Translation(3, 0, 0), true, false), false);
        ASSERT_TRUE(scene.save(first));
    }
    Scene loaded;
    ASSERT_TRUE(loaded.load(first));
    loaded.toList();
    ASSERT_EQ(loaded.objects.tools.size(), 2u);
    Tool* keep = loaded.objects.tools[0];
    Tool* gone = loaded.objects.tools[1];
    ASSERT_TRUE(keep->element && keep->element == gone->element);
    auto* clay = dynamic_cast<Clay*>(keep->element);
    ASSERT_TRUE(clay && clay->mesh);
    EXPECT_EQ(clay->refCount, 2);
    EXPECT_EQ(clay->mesh->refCount, 2);
    delete gone;
    EXPECT_EQ(clay->mesh->refCount, 1);
    ASSERT_TRUE(loaded.save(second));

    Scene again;
    ASSERT_TRUE(again.load(second));
    again.toList();
    ASSERT_EQ(again.objects.tools.size(), 1u);
    auto* back = dynamic_cast<Clay*>(again.objects.tools[0]->element);
    ASSERT_TRUE(back && back->mesh);
    EXPECT_EQ(back->mesh->faces.size(), 20u);
}

TEST(Clay, FilesHoldingAnOrphanMeshRecordStillLoad) {
    // The clay record followed by its mesh's record that no tool names.
    QTemporaryDir dir;
    const std::string path = dir.filePath("orphan.tl").toStdString();
    {
        Scene scene;
        placeObject(scene, new Clay(std::unique_ptr<Mesh>(Mesh::Cube()).get()));
        ASSERT_TRUE(scene.save(path));
    }
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    buffer file(f.readAll().constData(), std::size_t(f.size()));
    f.close();
    // Append a second element record (a mesh) to the elements chunk.
    std::vector<std::uint8_t> bytes = file.bytes();
    std::int64_t at = 8;
    while (at + 8 <= std::int64_t(bytes.size()) && buffer::loadU32(bytes.data() + at) != 0xEEEEEEEEu)
        at += 8 + std::int64_t(buffer::loadU32(bytes.data() + at + 4));
    ASSERT_LT(at + 8, std::int64_t(bytes.size()));
    buffer orphan;
    std::unique_ptr<Mesh>(Mesh::Cube())->DataWrite(orphan);
    const std::int64_t chunkEnd = at + 8 + std::int64_t(buffer::loadU32(bytes.data() + at + 4));
    bytes.insert(bytes.begin() + chunkEnd, orphan.bytes().begin(), orphan.bytes().end());
    buffer patched(bytes);
    patched.patchU32(std::int32_t(at + 4), std::uint32_t(chunkEnd - at - 8 + orphan.size()));
    Scene loaded;
    ASSERT_TRUE(loaded.loadFromMemory(patched.bytes()));
    loaded.toList();
    ASSERT_EQ(loaded.objects.tools.size(), 1u);
    EXPECT_TRUE(loaded.objects.tools[0]->element->isType(Element::TType::Clay));
}
