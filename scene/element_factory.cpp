// The element record factory.

#include "scene/element_factory.h"

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/animated_sprite.h"
#include "elements/clay.h"
#include "elements/revoluton.h"
#include "elements/sprite.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/buffer.h"

namespace qel {

Element* ElementFactory::placeholder() {
    if (!placeholder_) {
        // An icosahedron refined three times, smooth.
        Mesh* ico = Mesh::Icosahedron();
        placeholder_ = Mesh::Sphere(ico, 3, false, true);
        delete ico;
        if (!placeholder_) placeholder_ = new Mesh();
    }
    return placeholder_;
}

namespace {

// A sprite of either kind. One whose image cannot be read is kept (it draws
// nothing): its path stays in the scene and is written again by a save, so
// the sprite returns once the image is back.
template <class S>
ElementFactory::TResult readSprite(buffer& body, Element*& element) {
    S* s = new S();
    if (!s->readRecord(body)) {
        delete s;
        return ElementFactory::Refused;
    }
    element = s;
    return ElementFactory::Built;
}

// A swept element of either layout. A refused one has freed whatever
// curves it had built.
template <class S>
ElementFactory::TResult readSwept(buffer& body, bool old, Element*& element) {
    S* s = new S(body, old);
    if (body.failed() || s->status != 0) {
        Element::drop(s, 0);
        return ElementFactory::Refused;
    }
    element = s;
    return ElementFactory::Built;
}

}  // namespace

ElementFactory::TResult ElementFactory::read(std::uint32_t tag, buffer& body, Element*& element) {
    element = nullptr;
    switch (tag) {
        case Mesh::RecordTag: {
            Mesh* m = new Mesh(body);
            if (body.failed() || m->status != 0) {
                delete m;
                return Refused;
            }
            element = m;
            return Built;
        }
        case Clay::RecordTag: {
            // The body is a mesh body; the clay keeps its own copy.
            Mesh* m = new Mesh(body);
            const bool sound = !body.failed() && m->status == 0;
            if (sound) element = new Clay(m);
            Element::drop(m, 0);
            return sound ? Built : Refused;
        }
        case Sprite::RecordTag:
            return readSprite<Sprite>(body, element);
        case AnimatedSprite::RecordTag:
            return readSprite<AnimatedSprite>(body, element);
        case Curve::RecordTag:
        case Curve::OldRecordTag: {
            Curve* c = new Curve(body, tag == Curve::OldRecordTag);
            if (body.failed() || c->status != 0) {
                delete c;
                return Refused;
            }
            element = c;
            return Built;
        }
        case Tube::RecordTag:
        case Tube::OldRecordTag:
            return readSwept<Tube>(body, tag == Tube::OldRecordTag, element);
        case Revoluton::RecordTag:
        case Revoluton::OldRecordTag:
            return readSwept<Revoluton>(body, tag == Revoluton::OldRecordTag, element);
        case UCurve::RecordTag: {
            // The base stays an id until the reader's resolve pass.
            UCurve* u = new UCurve(body);
            if (body.failed() || u->status != 0) {
                delete u;
                return Refused;
            }
            element = u;
            return Built;
        }
        // Bezier curves (0xE1100002), the old resampled curves
        // (0xE0000007, 0xE0000008) and lightning
        // (0xE1100005) are added here with their element types.
        default:
            element = placeholder();
            return Built;
    }
}

}  // namespace qel
