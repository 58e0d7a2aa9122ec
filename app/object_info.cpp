#include "app/object_info.h"

#include <string>

#include "curves/curve.h"
#include "elements/animated_sprite.h"
#include "elements/clay.h"
#include "elements/lightning.h"
#include "elements/revoluton.h"
#include "elements/sprite.h"
#include "elements/tube.h"
#include "gl/texture.h"
#include "gl/texture2d.h"
#include "gl/texture3d.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/tool.h"
#include "scene/tool_list.h"
#include "tools/array.h"
#include "tools/bi_tool.h"

namespace {

using Type = qel::Element::TType;

long long vertexCount(const qel::Curve* c) { return c ? (long long)c->vertices.size() : 0; }
long long edgeCount(const qel::Curve* c) { return c ? (long long)c->edges.size() : 0; }

QString meshCounts(const qel::Mesh* mesh) {
    return countsText(mesh ? (long long)mesh->vertices.size() : 0, mesh ? (long long)mesh->faces.size() : 0, "Faces");
}

// An image's file and size, or why there is none to show.
QString imageText(const qel::Texture* texture, const std::string& imagePath, bool readable, bool frames) {
    const QString path = texture ? QString::fromStdString(imagePath) : QString();
    if (path.isEmpty()) return "No image";
    if (!readable) return path + "\nThe image could not be read.";
    QString text =
        path + "\n" + QString::number(texture->width()) + " x " + QString::number(texture->height()) + " Pixels";
    if (frames) text += " ,  " + QString::number(texture->depth()) + " Frames";
    return text;
}

// The copies the array lays: the entries hung under its first entry in the
// list with a sub-index (its own children have none).
long long arrayCopies(const qel::ToolList& objects, const qel::Tool* array) {
    int entry = -1;
    for (int i = 0; i < objects.size() && entry < 0; ++i)
        if (objects.tools[std::size_t(i)] == array) entry = i;
    if (entry < 0) return 0;
    long long copies = 0;
    for (int i = entry + 1; i < objects.size(); ++i)
        if (objects.parents[std::size_t(i)] == entry && objects.subIndices[std::size_t(i)] != qel::ToolList::NoSubIndex)
            ++copies;
    return copies;
}

ObjectInfo arrayInfo(const qel::ToolList& objects, qel::Tool* t) {
    const auto* array = dynamic_cast<const qel::Array*>(t);
    const bool chain = array && array->type == qel::Array::Chain;
    long long items = 0;
    if (array)
        for (const qel::Tool* item : array->items) items += item ? 1 : 0;
    return {chain ? "CHAIN" : "ARRAY",
            QString::number(arrayCopies(objects, t)) + " Copies ,  " + QString::number(items) + " Items"};
}

ObjectInfo binaryInfo(qel::Tool* t) {
    qel::Element* e = t->element;
    if (!e)
        if (const auto* end = dynamic_cast<const qel::BiTool*>(t); end && end->partner) e = end->partner->element;
    if (!e) return {"BINARY", "A two-ended tool without an element"};
    const ObjectInfo element = elementInfo(e);
    return {"BINARY", element.title + "\n" + element.text};
}

}  // namespace

QString countsText(long long vertices, long long second, const char* secondName) {
    return QString::number(vertices) + " Vertices ,  " + QString::number(second) + " " + secondName;
}

bool sweptCurves(qel::Element* e, qel::Curve*& axis, qel::Curve*& section) {
    axis = section = nullptr;
    if (auto* tube = dynamic_cast<qel::Tube*>(e)) {
        axis = tube->path;
        section = tube->profile;
        return true;
    }
    if (auto* rev = dynamic_cast<qel::Revoluton*>(e)) {
        axis = rev->profile;
        section = rev->section;
        return true;
    }
    return false;
}

QString surfaceText(const qel::Curve* axis, const qel::Curve* section) {
    // 64-bit products: large curves would overflow 32 bits.
    return countsText(vertexCount(axis) * vertexCount(section), edgeCount(axis) * edgeCount(section), "Faces");
}

QString curveText(const qel::Curve* c) {
    const QString prefix = c && c->curveType == qel::Curve::UniformCurve ? "Uniform ,  " : "";
    return prefix + countsText(vertexCount(c), edgeCount(c), "Edges");
}

ObjectInfo elementInfo(qel::Element* e) {
    if (!e) return {"OBJECT", "No element"};
    qel::Curve *axis, *section;
    if (sweptCurves(e, axis, section)) {
        return {e->isType(Type::Tube) ? "TUBE" : "REVOLUTON",
                surfaceText(axis, section) + "\nAxis: " + curveText(axis) + "\nSection: " + curveText(section)};
    }
    if (const auto* mesh = dynamic_cast<const qel::Mesh*>(e)) return {"TRI-MESH", meshCounts(mesh)};
    if (const auto* clay = dynamic_cast<const qel::Clay*>(e)) return {"CLAY", meshCounts(clay->mesh)};
    if (const auto* curve = dynamic_cast<const qel::Curve*>(e)) return {"CURVE", curveText(curve)};
    if (const auto* sprite = dynamic_cast<const qel::Sprite*>(e))
        return {"SPRITE", imageText(sprite->texture(), sprite->imagePath(), sprite->hasImage(), false)};
    if (const auto* sprite = dynamic_cast<const qel::AnimatedSprite*>(e))
        return {"ANIMATED SPRITE", imageText(sprite->texture(), sprite->imagePath(), sprite->hasImage(), true)};
    if (const auto* bolt = dynamic_cast<const qel::Lightning*>(e))
        return {"LIGHTNING", QString::number(bolt->octaves) + " Octaves"};
    return {"OBJECT", "An element of type " + QString::number(unsigned(e->type))};
}

ObjectInfo objectInfo(const qel::ToolList& objects, qel::Tool* t) {
    if (!t) return {"OBJECT", "No object"};
    if (t->isArray()) return arrayInfo(objects, t);
    if (t->isBiTool()) return binaryInfo(t);
    return elementInfo(t->element);
}
