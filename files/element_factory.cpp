// The element record factory.

#include "files/element_factory.h"

#include "curves/bezier_curve.h"
#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/animated_sprite.h"
#include "elements/clay.h"
#include "elements/lightning.h"
#include "elements/revoluton.h"
#include "elements/sprite.h"
#include "elements/tube.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"

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

// A swept element or a resampled curve of either layout. A refused one has
// freed whatever curves it had built.
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
    TResult result = Refused;
    if (build(tag, body, element, result)) return result;
    element = placeholder();
    return Built;
}

bool ElementFactory::build(std::uint32_t tag, buffer& body, Element*& element, TResult& result) {
    element = nullptr;
    switch (tag) {
        case Mesh::RecordTag: {
            Mesh* m = new Mesh(body);
            if (body.failed() || m->status != 0) {
                delete m;
                result = Refused;
                return true;
            }
            element = m;
            result = Built;
            return true;
        }
        case Clay::RecordTag: {
            // The body is a mesh body; the clay keeps its own copy.
            Mesh* m = new Mesh(body);
            const bool sound = !body.failed() && m->status == 0;
            if (sound) element = new Clay(m);
            Element::drop(m, 0);
            result = sound ? Built : Refused;
            return true;
        }
        case Sprite::RecordTag:
            result = readSprite<Sprite>(body, element);
            return true;
        case AnimatedSprite::RecordTag:
            result = readSprite<AnimatedSprite>(body, element);
            return true;
        case Curve::RecordTag:
        case Curve::OldRecordTag: {
            Curve* c = new Curve(body, tag == Curve::OldRecordTag);
            if (body.failed() || c->status != 0) {
                delete c;
                result = Refused;
                return true;
            }
            element = c;
            result = Built;
            return true;
        }
        case Tube::RecordTag:
        case Tube::OldRecordTag:
            result = readSwept<Tube>(body, tag == Tube::OldRecordTag, element);
            return true;
        case Revoluton::RecordTag:
        case Revoluton::OldRecordTag:
            result = readSwept<Revoluton>(body, tag == Revoluton::OldRecordTag, element);
            return true;
        case UCurve::RecordTag:
        case UCurve::OldRecordTag:
            // The current record keeps its base as an id until the reader's
            // resolve pass; the old one holds its base.
            result = readSwept<UCurve>(body, tag == UCurve::OldRecordTag, element);
            return true;
        case UCurve::OldNestedRecordTag:
            result = readOldNestedUCurve(body, element);
            return true;
        case BezierCurve::RecordTag:
            // No payload: the shape comes from the cable at its first drawing.
            // Bytes inside the record's window are left to the caller.
            element = new BezierCurve(body);
            result = Built;
            return true;
        case Lightning::RecordTag: {
            Lightning* l = new Lightning(body);
            const bool sound = !body.failed() && l->status == 0;
            if (!sound) delete l;
            element = sound ? l : nullptr;
            result = sound ? Built : Refused;
            return true;
        }
        default:
            return false;
    }
}

ElementFactory::TResult ElementFactory::readOldNestedUCurve(buffer& body, Element*& element) {
    // The nested record is read inside its own window and thrown away with
    // whatever it built; it may not be this record again (no unbounded
    // nesting), and an unknown one builds nothing.
    std::uint32_t tag = 0, length = 0;
    if (!body.readRecordHeader(tag, length) || length > std::uint32_t(body.remaining()) ||
        tag == UCurve::OldNestedRecordTag)
        return Refused;
    const std::int32_t end = body.cursor() + std::int32_t(length);
    {
        const buffer::ReadLimit window(body, end);
        Element* nested = nullptr;
        TResult result = Refused;
        const bool known = build(tag, body, nested, result);
        Element::drop(nested, 0);
        if (known && result == Refused) return Refused;
    }
    body.seek(end);
    body.skip(UCurve::OldNestedGap);
    if (body.failed()) return Refused;
    const TResult result = readSwept<UCurve>(body, true, element);
    if (result != Built) return result;
    body.skip(UCurve::OldNestedTail);
    if (!body.failed()) return Built;
    Element::drop(element, 0);
    element = nullptr;
    return Refused;
}

}  // namespace qel
