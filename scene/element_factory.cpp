// The element record factory.

#include "scene/element_factory.h"

#include "curves/curve.h"
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
        // Bezier curves (0xE1100002), resampled curves
        // (0xE0000007, 0xE0000008, 0xE1000007), revolutons (0xE0000004,
        // 0xE0000009), tubes (0xE0000005, 0xE1000005), clay (0xE000000A),
        // lightning (0xE1100005) and sprites (0xE0000003, 0xE0000006) are
        // added here with their element types.
        default:
            element = placeholder();
            return Built;
    }
}

}  // namespace qel
