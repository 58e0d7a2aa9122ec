// Kept meshes and their strokes; see mesh_kept_util.h.

#include "mesh/mesh_kept_util.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "gl/buffer.h"
#include "mesh/mesh_invariants_util.h"
#include "scene/sculptor.h"

namespace meshtest {

using namespace qel;

std::unique_ptr<Mesh> loadKeptMesh(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    auto get = [&](void* p, std::size_t n) { in.read(static_cast<char*>(p), std::streamsize(n)); };
    auto m = std::make_unique<Mesh>();
    float size = 1;
    get(&m->centre, 12);
    get(&size, 4);
    m->setSize(size);
    std::uint32_t nv = 0, nf = 0;
    get(&nv, 4);
    for (std::uint32_t i = 0; i < nv && in; ++i) {
        MeshVertex r;
        get(&r.position, 12);
        get(&r.flags, 1);
        m->vertexAdd(r);
    }
    get(&nf, 4);
    for (std::uint32_t i = 0; i < nf && in; ++i) {
        MeshFace r;
        get(r.v, 12);
        get(&r.flags, 1);
        for (const int v : r.v)
            if (std::uint32_t(v) >= nv) return nullptr;
        m->faceAdd(r);
    }
    if (!in) return nullptr;
    m->initialize(Element::ResizeKeep);
    if (m->status != 0) return nullptr;
    return m;
}

namespace {

float hexFloat(std::istream& s) {
    std::string t;
    s >> t;
    return std::strtof(t.c_str(), nullptr);
}

vec3 hexVec3(std::istream& s) {
    const float x = hexFloat(s), y = hexFloat(s);
    return vec3(x, y, hexFloat(s));
}

}  // namespace

bool replayStrokes(Mesh& m, const std::string& path, const std::function<bool(int call)>& after) {
    std::ifstream in(path);
    if (!in) return false;
    std::vector<std::unique_ptr<Sculptor>> owned;
    std::vector<Sculptor*> sculptors;
    int calls = 0;
    bool sculpted = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream s(line);
        std::string command;
        s >> command;
        if (command == "sculptor") {
            // A sculptor after a sculpt call starts the next stroke.
            if (sculpted) {
                sculptors.clear();
                owned.clear();
                sculpted = false;
            }
            int action = 0, select = 0, onSection = 0, handedness = 1, mask = 0;
            s >> action >> select;
            const vec3 view = hexVec3(s);
            s >> onSection >> handedness >> mask;
            owned.push_back(std::make_unique<Sculptor>());
            Sculptor& c = *owned.back();
            c.begin();
            c.action = Sculptor::TAction(action);
            c.select = Sculptor::TSelect(select);
            c.viewDirection = view;
            c.onSection = std::uint8_t(onSection);
            c.handedness = std::int8_t(handedness);
            c.paintMask = std::uint8_t(mask);
            sculptors.push_back(&c);
        } else if (command == "sample") {
            std::size_t n = 0;
            int state = 0, colour[4] = {}, roughness = 0, metalness = 0;
            SBrush b;
            s >> n >> state >> b.kind;
            b.point = hexVec3(s);
            b.normal = hexVec3(s);
            b.radius = hexFloat(s);
            s >> b.itemId;
            b.strength = hexFloat(s);
            s >> colour[0] >> colour[1] >> colour[2] >> colour[3] >> roughness >> metalness;
            if (!s || n >= sculptors.size()) return false;
            for (int i = 0; i < 4; ++i) b.material.colour[i] = std::uint16_t(colour[i]);
            b.material.roughness = std::int16_t(roughness);
            b.material.metalness = std::int16_t(metalness);
            sculptors[n]->state = state;
            sculptors[n]->samples.push_back(b);
        } else if (command == "sculpt") {
            m.sculpt(sculptors);
            sculpted = true;
            if (!after(++calls)) return true;
        } else if (!command.empty()) {
            return false;
        }
    }
    return true;
}

namespace {

std::vector<std::uint8_t> record(Mesh& m) {
    buffer b;
    m.DataWrite(b);
    std::vector<std::uint8_t> bytes(std::size_t(b.size()));
    b.seek(0);
    b.readBytes(bytes.data(), std::uint32_t(bytes.size()));
    return bytes;
}

}  // namespace

std::string reloadProblem(Mesh& m) {
    const std::int32_t version = FILE_VERSION;
    FILE_VERSION = FILE_VERSION_WRITTEN;
    const std::vector<std::uint8_t> first = record(m);
    buffer b;
    b.writeBytes(first.data(), first.size());
    b.seek(8);  // past tag and length
    Mesh loaded(b);
    loaded.initialize(Element::ResizeKeep);
    std::string problem;
    if (loaded.status != 0)
        problem = "the reloaded mesh fails to build its connectivity";
    else if (activeVertexCount(loaded) != activeVertexCount(m) || activeFaceCount(loaded) != activeFaceCount(m))
        problem = "the reload keeps " + std::to_string(activeVertexCount(loaded)) + " vertices and " +
                  std::to_string(activeFaceCount(loaded)) + " faces of " + std::to_string(activeVertexCount(m)) +
                  " and " + std::to_string(activeFaceCount(m));
    else if (record(loaded) != first)
        problem = "a second save differs";
    FILE_VERSION = version;
    return problem;
}

}  // namespace meshtest
