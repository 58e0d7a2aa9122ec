// The whole-scene Wavefront export, read back by an independent OBJ/MTL
// reader, and refused or failed exports that leave the folder as it was.

#include <gtest/gtest.h>
#include <tiny_obj_loader.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/texture_atlas.h"
#include "scene/scene.h"

using namespace qel;

namespace {

// An element whose mesh form is a unit cube (or none); counts conversions.
class CubeForm : public Element {
public:
    explicit CubeForm(bool convertible) : Element(TType::Curve), convertible(convertible) {}
    Mesh* ToMesh() override {
        ++conversions;
        return convertible ? Mesh::Cube() : nullptr;
    }
    const bool convertible;
    int conversions = 0;
};

struct ObjFile {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    bool ok = false;

    static vec3 at(const std::vector<tinyobj::real_t>& v, int i) {
        return {v[std::size_t(3 * i)], v[std::size_t(3 * i + 1)], v[std::size_t(3 * i + 2)]};
    }
    vec3 position(int i) const { return at(attrib.vertices, i); }
    vec3 normal(int i) const { return at(attrib.normals, i); }
};

// A smooth sphere refined `levels` times from an icosahedron.
Mesh* sphereOf(int levels) {
    const std::unique_ptr<Mesh> base(Mesh::Icosahedron());
    return Mesh::Sphere(base.get(), levels, false, false);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class SceneExportTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Scene scene;

    std::string path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }

    Tool* place(Element* e, const mat4& transform = mat4::Identity(), const pbr& material = pbr()) {
        auto* t = new Tool(e, transform, material, false);
        t->flags |= Tool::FlagObject;
        scene.objectsRoot->addChild(t, false);
        return t;
    }

    ObjFile read(const std::string& name) const {
        ObjFile f;
        std::string warn, err;
        f.ok = tinyobj::LoadObj(&f.attrib, &f.shapes, &f.materials, &warn, &err, path(name).c_str(), path("").c_str());
        return f;
    }

    QImage map(TextureAtlas::TMap m) const { return QImage(QString::fromStdString(path(TextureAtlas::FileName(m)))); }

    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

TEST_F(SceneExportTest, AnotherReaderSeesTheObjectsCountsMaterialAndMaps) {
    Mesh* sphere = sphereOf(2);
    Mesh* cube = Mesh::Cube();
    cube->faces[0].flags &= std::uint8_t(~MeshFace::ActiveBit);  // deleted, not yet compacted
    cube->vertexAdd(vec3(9, 9, 9));                              // used by no face
    place(cube, mat4::Translation(5, 0, 0));
    place(sphere, mat4::Scale(2.0f));
    place(nullptr);              // an empty tool: not exported
    place(new CubeForm(false));  // no mesh form: not exported
    place(new Mesh());           // no face: not exported
    ASSERT_TRUE(scene.save(path("Scene.OBJ")));

    const ObjFile f = read("Scene.obj");
    ASSERT_TRUE(f.ok);
    ASSERT_EQ(f.shapes.size(), 2u);
    EXPECT_EQ(f.shapes[1].name, "Object2");
    EXPECT_EQ(f.attrib.vertices.size(), std::size_t(3 * (8 + sphere->vertexCount())));
    EXPECT_EQ(f.shapes[0].mesh.num_face_vertices.size(), 11u);
    EXPECT_EQ(f.shapes[1].mesh.num_face_vertices.size(), std::size_t(sphere->faceCount()));
    ASSERT_EQ(f.materials.size(), 1u);
    EXPECT_EQ(f.materials[0].diffuse_texname, "Material_basecolor.png");

    // Every corner names a position, a texture point and a normal.
    for (const tinyobj::shape_t& s : f.shapes) {
        EXPECT_EQ(s.mesh.material_ids.front(), 0);
        for (const tinyobj::index_t& i : s.mesh.indices) EXPECT_TRUE(i.texcoord_index >= 0 && i.normal_index >= 0);
    }
    // The cube lands at its placement, the sphere's corners far from it.
    EXPECT_NEAR(f.position(0).x, 5 + cube->toLocal(cube->vertices[0].position).x, 1e-6);
    for (const tinyobj::index_t& i : f.shapes[1].mesh.indices) EXPECT_LT(f.position(i.vertex_index).x, 4.0f);

    // One cell per triangle: 320 + 11 faces need 32 x 16 cells.
    for (int m = 0; m < TextureAtlas::MapCount; ++m) EXPECT_EQ(map(TextureAtlas::TMap(m)).size(), QSize(64, 32)) << m;
    EXPECT_EQ(entries().size(), 6);  // obj, mtl, four maps, and nothing else
}

TEST_F(SceneExportTest, ObjectNumbersArePaddedElementsConvertedOnceAndTheMtlNamedWithoutBlanks) {
    auto* form = new CubeForm(true);
    for (int i = 0; i < 10; ++i) place(form, mat4::Translation(float(2 * i), 0, 0));
    ASSERT_TRUE(scene.save(path("many \xC3\xBC.obj")));
    EXPECT_EQ(form->conversions, 1);

    const ObjFile f = read("many \xC3\xBC.obj");
    ASSERT_TRUE(f.ok);
    ASSERT_EQ(f.shapes.size(), 10u);
    EXPECT_EQ(f.shapes[0].name, "Object01");
    EXPECT_EQ(f.materials.size(), 1u);  // readers split the "mtllib" name at blanks
    const std::string text = readText(path("many \xC3\xBC.obj"));
    EXPECT_NE(text.find("\nmtllib many_\xC3\xBC.mtl\n# Global: 10 objects, 80 vertices, 120 faces\n"),
              std::string::npos);
}

TEST_F(SceneExportTest, MeshObjectsWithTheirOwnMaterialsAndMaps) {
    const std::unique_ptr<Mesh> sphere(sphereOf(1));
    const pbr red(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    const mat4 mirror = mat4::Translation(1000.1f, 0, 0) * mat4::Scale(-1.1f, 2, 0.5f);
    {
        std::ofstream obj(path("parts.obj")), mtl(path("parts.mtl"));
        obj << "mtllib parts.mtl\n";
        int objects = 0, vertexBase = 0, texBase = 0, normalBase = 0;
        for (const char* name : {"first", "second"})
            ASSERT_TRUE(sphere->appendOBJMTL(obj, mtl, path(name), objects, vertexBase, texBase, normalBase,
                                             objects == 0 ? mat4::Identity() : mirror, red));
        EXPECT_EQ(objects, 2);
    }
    const ObjFile f = read("parts.obj");
    ASSERT_TRUE(f.ok);
    ASSERT_EQ(f.shapes.size(), 2u);
    ASSERT_EQ(f.materials.size(), 2u);
    EXPECT_TRUE(f.materials[1].name == "Material2" && f.materials[1].diffuse_texname == "second_basecolor.png");
    EXPECT_EQ(f.shapes[1].mesh.material_ids.front(), 1);
    const QImage first(QString::fromStdString(path("first_basecolor.png")));
    EXPECT_EQ(first.pixel(0, first.height() - 1), qRgba(255, 0, 0, 255));

    // The mirrored, stretched copy still faces outwards: faces, normals.
    const tinyobj::shape_t& s = f.shapes[1];
    double volume = 0;  // positive when the closed surface faces outwards
    for (std::size_t t = 0; t + 2 < s.mesh.indices.size(); t += 3) {
        const vec3 a = f.position(s.mesh.indices[t].vertex_index);
        const vec3 b = f.position(s.mesh.indices[t + 1].vertex_index);
        const vec3 c = f.position(s.mesh.indices[t + 2].vertex_index);
        volume += dot(a - vec3(1000, 0, 0), cross(b - vec3(1000, 0, 0), c - vec3(1000, 0, 0)));
        for (std::size_t k = 0; k < 3; ++k) {
            const vec3 vn = f.normal(s.mesh.indices[t + k].normal_index);
            EXPECT_GT(dot(cross(b - a, c - a), vn), 0.0) << t / 3;
            EXPECT_NEAR(length(vn), 1.0, 1e-4);
        }
    }
    EXPECT_GT(volume, 0.0);
    // Positions read back bit-exact: the shortest text of each float.
    Mesh back;
    const std::string text = readText(path("parts.obj"));
    back.parseOBJ(text.data(), text.size());
    const int n = sphere->vertexCount();
    for (int v = 0; v < n; ++v)
        EXPECT_EQ(back.vertices[n + v].position, mirror.transformProject(sphere->vertices[v].position)) << v;
}

TEST_F(SceneExportTest, AtlasCellsCarryTheProductOfObjectAndCornerMaterials) {
    Mesh* cube = Mesh::Cube();
    const pbr c0(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    const pbr c1(wvec4(0, 65535, 0, 32768), wvec4(65535, 0, 0, 65535), 100, -32766);
    const pbr c2(wvec4(0, 0, 65535, 65535), wvec4(0, 0, 40000, 65535), -32766, 32766);
    cube->faces[5].setMaterial(c0, c1, c2, pbr::MaskAll);
    const pbr object(wvec4(65535, 32768, 65535, 65535), wvec4(1000, 0, 0, 65535), 16383, 0);
    place(cube, mat4::Identity(), object);
    ASSERT_TRUE(scene.save(path("paint.obj")));

    const ObjFile f = read("paint.obj");
    ASSERT_TRUE(f.ok);
    const QImage images[4] = {map(TextureAtlas::BaseColour), map(TextureAtlas::Emission), map(TextureAtlas::Metalness),
                              map(TextureAtlas::Roughness)};
    const int W = images[0].width(), H = images[0].height();
    ASSERT_EQ(W, 8);  // 12 faces: 4 x 4 cells
    const pbr expected[3] = {object * c0, object * c1, object * c2};
    for (int corner = 0; corner < 3; ++corner) {
        const tinyobj::index_t i = f.shapes[0].mesh.indices[std::size_t(3 * 5 + corner)];
        const float u = f.attrib.texcoords[std::size_t(2 * i.texcoord_index)];
        const float v = f.attrib.texcoords[std::size_t(2 * i.texcoord_index + 1)];
        const int x = int(std::floor(u * W)), y = int(std::floor((1.0f - v) * H));
        const pbr& m = expected[corner];
        EXPECT_EQ(images[0].pixel(x, y), qRgba(m.colour.r >> 8, m.colour.g >> 8, m.colour.b >> 8, m.colour.a >> 8))
            << corner;
        EXPECT_EQ(images[1].pixel(x, y), qRgb(m.light.r >> 8, m.light.g >> 8, m.light.b >> 8)) << corner;
        EXPECT_EQ(qRed(images[2].pixel(x, y)), (m.metalness + 32766) >> 8) << corner;
        EXPECT_EQ(qRed(images[3].pixel(x, y)), (m.roughness + 32766) >> 8) << corner;
    }
}

TEST_F(SceneExportTest, SceneTooBigForTheAtlasWritesNothing) {
    Mesh* sphere = sphereOf(3);
    const std::int64_t cells = std::int64_t(TextureAtlas::MaxCellsPerSide) * TextureAtlas::MaxCellsPerSide;
    const std::int64_t copies = cells / sphere->faceCount() + 1;
    for (std::int64_t i = 0; i < copies; ++i) place(sphere);
    std::ofstream(path("big.obj")) << "previous export\n";
    EXPECT_FALSE(scene.save(path("big.obj")));
    EXPECT_EQ(scene.fileError, "its " + std::to_string(copies * sphere->faceCount()) +
                                   " triangles are more than the texture maps can hold (16777216)");
    EXPECT_EQ(readText(path("big.obj")), "previous export\n");
    EXPECT_EQ(entries(), QStringList{"big.obj"});
    EXPECT_EQ(sphere->id, -1);
}

TEST_F(SceneExportTest, AFileThatCannotBeWrittenLeavesNoIncompleteSet) {
    place(Mesh::Cube());
    // A folder where one map should go: that map cannot be written.
    ASSERT_TRUE(QDir(dir.path()).mkdir(TextureAtlas::FileName(TextureAtlas::Roughness)));
    EXPECT_FALSE(scene.save(path("fail.obj")));
    EXPECT_EQ(scene.fileError, std::string(TextureAtlas::FileName(TextureAtlas::Roughness)) + ": it names a folder");
    EXPECT_EQ(entries(), QStringList{TextureAtlas::FileName(TextureAtlas::Roughness)});
}

}  // namespace

// FNV-1a over the bytes.
std::uint64_t digest(const void* data, std::size_t n, std::uint64_t h = 1469598103934665603ull) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// The bytes of the OBJ and MTL files and the pixels of the four maps of a
// fixed scene: creases, corners painted in every channel (signed ones
// below zero too), mirrored placements, an element converted to a mesh.
TEST_F(SceneExportTest, FilesKeepTheirBytes) {
    const std::unique_ptr<Mesh> base(Mesh::Icosahedron());
    Mesh* sphere = Mesh::Sphere(base.get(), 2, true, true);
    for (int f = 0; f < sphere->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            pbr& m = sphere->faces[f].material[k];
            m.colour = wvec4(std::uint16_t(977 * f + 131 * k), std::uint16_t(40000 - 113 * f), 65535, 32768);
            m.light = wvec4(std::uint16_t(257 * k), 0, std::uint16_t(61 * f), 65535);
            m.roughness = std::int16_t(100 * f - 20000);
            m.metalness = std::int16_t(-30 * f + 7 * k);
        }
    // Scales by powers of two: every normal's transform is exact, whatever
    // precision the compiler keeps between steps.
    sphere->centre = vec3(0, 0, 0);
    sphere->setSize(4.0f);
    place(sphere, mat4::Translation(0.5f, -1, 2) * mat4::Scale(2.0f, 2.0f, -2.0f),
          pbr(wvec4(60000, 30000, 20000, 65535), wvec4(0, 0, 0, 65535), 1000, -1000));
    place(Mesh::Cube(), mat4::Translation(-3, 0.25f, 0));
    place(new CubeForm(true), mat4::Translation(3, 0, 0) * mat4::Scale(1, -1, 1));
    ASSERT_TRUE(scene.save(path("kept.obj")));
    const std::string obj = readText(path("kept.obj")), mtl = readText(path("kept.mtl"));
    EXPECT_EQ(digest(obj.data(), obj.size()), 6768827539365234138ull);
    EXPECT_EQ(digest(mtl.data(), mtl.size()), 4018655324889222785ull);
    const std::uint64_t maps[TextureAtlas::MapCount] = {6959304113972011569ull, 4232885934849705915ull,
                                                        14930957390009143728ull, 3102669206270279811ull};
    for (int m = 0; m < TextureAtlas::MapCount; ++m) {
        const QImage image = map(TextureAtlas::TMap(m));
        const std::size_t row = std::size_t(image.width()) * std::size_t(image.depth() / 8);
        std::uint64_t h = digest(nullptr, 0);
        for (int y = 0; y < image.height(); ++y) h = digest(image.constScanLine(y), row, h);
        EXPECT_EQ(h, maps[m]) << m;
    }
}
