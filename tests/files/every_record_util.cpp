#include "files/every_record_util.h"

#include <vector>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/animated_sprite.h"
#include "elements/clay.h"
#include "elements/lightning.h"
#include "elements/revoluton.h"
#include "elements/sprite.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "tools/array.h"
#include "tools/bi_tool.h"
#include "tools/cable.h"

namespace everyrecord {

using namespace qel;

namespace {

Tool* object(Element* e, const mat4& transform) {
    auto* t = new Tool(e, transform, pbr(), false);
    t->flags |= Tool::FlagObject;
    return t;
}

}  // namespace

void build(Scene& s, const std::string& image) {
    Mesh* cube = Mesh::Cube();
    Tool* tmpl = s.addTool(new Tool(cube, mat4::Scale(2), pbr(), false));
    tmpl->addChild(new Tool(nullptr, mat4::Translation(0, 0, 1), pbr(), true), false);

    auto* path = new Curve({vec3(0, 0, 0), vec3(1, 0, 0), vec3(1, 1, 0)}, false);
    Curve* profile = Curve::Circle(6, false);
    const std::vector<Element*> shown = {cube,
                                         cube,
                                         new Clay(cube),
                                         path,
                                         new UCurve(path, Curve::Plain),
                                         new Tube(path, profile),
                                         new Revoluton(profile, Curve::Circle(8, false)),
                                         new Lightning(vec2(0.1f, 0.02f), vec2(3, 1), 4),
                                         new Sprite(image, false),
                                         new AnimatedSprite(image, false)};
    for (Element* e : shown) s.objectsRoot->addChild(object(e, mat4::Translation(0, 0, 2)), false);
    s.objectsRoot->children[0]->joinInstances(s.objectsRoot->children[1]);

    auto* array = new Array(new Curve({vec3(0, 0, 0), vec3(2, 0, 0)}, false), {tmpl, nullptr}, {0x8001, 0x10001},
                            Array::Chain, mat4::Scale(-1), mat4::Identity(), pbr(), false);
    array->flags |= Tool::FlagObject;
    s.objectsRoot->addChild(array, false);

    auto* thin = new BiTool(BiTool::BiThin, Mesh::Tetrahedron(), mat4::Identity(), pbr(), false);
    auto* plain = new BiTool(BiTool::BiPlain, nullptr, mat4::Translation(0, 0, 3), pbr(), false);
    s.objectsRoot->addChild(thin, false)->setPartner(s.objectsRoot->addChild(plain, false));
    auto* cable = new Cable(Curve::Circle(5, false), mat4::Identity(), pbr(), false);
    auto* end = new BiTool(BiTool::BiPlain, nullptr, mat4::Translation(1, 0, 2), pbr(), false);
    s.objectsRoot->addChild(cable, false)->setPartner(s.objectsRoot->addChild(end, false));
    for (Tool* t : std::vector<Tool*>{thin, plain, cable, end}) t->flags |= Tool::FlagObject;
    s.toList();
}

}  // namespace everyrecord
