// Face and corner normals, smoothing of corner normals and corner
// materials, and the smoothed, relaxed and tangent targets of vertices.
//
// Corner normals are kept per sharp-bounded sector round a vertex: a sector
// is a run of faces that forward circling (across edge (k+1)%3) passes
// without crossing a sharp or open edge. The whole-mesh pass works face by
// face for vertices without sharp or open edges (one sector: the plain sum
// over their faces) and walks the sectors of the others.
//
// Normalising and face normals: mesh/normal_math.h.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/corner_edges.h"
#include "mesh/face_table.h"
#include "mesh/mesh.h"
#include "mesh/normal_math.h"
#include "mesh/vertex_fans.h"

namespace qel {

namespace {

vec3 normalise(const vec3& a) { return normaliseCorner(a); }

// The face across edge e of F when it is an active face; else -1.
inline int linked(const Mesh& m, const MeshFace& F, int e) {
    const int g = F.f[e];
    return m.activeFace(g) ? g : -1;
}

// v's stored face when v is active and the face is active and holds v.
inline int startOf(const Mesh& m, int v) {
    if (!m.activeVertex(v)) return -1;
    const int f = m.vertices[v].face;
    return m.activeFace(f) && m.faces[f].corner(v) >= 0 ? f : -1;
}

// Walks the sectors of v from its stored face. add(face, k) is called for
// every face of a sector, then finish(first, count) once the sector ends.
// Bounded by the face count.
template <class Add, class Finish>
void walkSectors(const Mesh& m, int v, Add&& add, Finish&& finish) {
    const int start = startOf(m, v);
    if (start < 0) return;
    int f = start, first = start, count = 0;
    for (std::size_t step = 0; step <= m.faces.size(); ++step) {
        const MeshFace& F = m.faces[f];
        const int k = F.corner(v);
        if (k < 0) break;
        add(f, k);
        ++count;
        const int e = nextK(k);
        const int g = linked(m, F, e);
        if (g >= 0 && g != start && !F.isSharp(e)) {
            f = g;
            continue;
        }
        finish(first, count);
        count = 0;
        if (g < 0 || g == start) return;
        f = first = g;
    }
    if (count > 0) finish(first, count);
}

// Calls fn(face, k) for the count faces of the sector of v that starts at
// first (the same forward steps as walkSectors).
template <class Fn>
void forSector(Mesh& m, int v, int first, int count, Fn&& fn) {
    int f = first;
    for (int i = 0; i < count && f >= 0; ++i) {
        MeshFace& F = m.faces[f];
        const int k = F.corner(v);
        if (k < 0) return;
        fn(F, k);
        f = linked(m, F, nextK(k));
    }
}

// Visits the ring of v as findNeighbours(v, ring, faces, crossings) lists
// it: fn(w, crossing) for every ring vertex in order, crossing being true
// when the edge from v to w is sharp or open. Returns the ring length.
template <class Fn>
int visitRing(const Mesh& m, int v, Fn&& fn) {
    const int start = startOf(m, v);
    if (start < 0) return 0;
    int n = 0;
    int f = start;
    for (std::size_t step = 0; step <= m.faces.size(); ++step) {
        const MeshFace& F = m.faces[f];
        const int k = F.corner(v);
        if (k < 0) break;
        const int back = prevK(k);
        fn(F.v[nextK(k)], F.isSharp(back) || linked(m, F, back) < 0);
        ++n;
        const int g = linked(m, F, nextK(k));
        if (g < 0) {
            fn(F.v[prevK(k)], true);
            return n + 1;
        }
        if (g == start) break;
        f = g;
    }
    return n;
}

// What smoothing and relaxing need from a ring in one walk.
struct RingSummary {
    vec3 sum{0, 0, 0};    // sum of the ring positions
    int count = 0;        // ring length
    int crossings = 0;    // ring vertices across a sharp or open edge
    vec3 cross0, cross1;  // the first two of those
};

// The summary of the ring that visit(fn) reports, fn(w, crossing) per ring
// vertex in order.
template <class Visit>
RingSummary summarise(const Mesh& m, int v, Visit&& visit) {
    RingSummary s;
    visit([&](int w, bool crossing) {
        const vec3 p = m.validVertex(w) ? m.vertices[w].position : m.vertices[v].position;
        s.sum += p;
        ++s.count;
        if (!crossing) return;
        if (s.crossings == 0) s.cross0 = p;
        if (s.crossings == 1) s.cross1 = p;
        ++s.crossings;
    });
    return s;
}

RingSummary summariseRing(const Mesh& m, int v) {
    return summarise(m, v, [&](auto&& fn) { visitRing(m, v, fn); });
}

// The same ring read from a gathered fan: visitRing reports the vertex
// across each face's forward edge, and after a face whose forward edge is
// open the vertex across its backward edge.
RingSummary summariseFan(const Mesh& m, int v, const FanFace* begin, const FanFace* end) {
    return summarise(m, v, [&](auto&& fn) {
        for (const FanFace* x = begin; x != end; ++x) {
            fn(x->next, x->backBounded());
            if (x->openEnd()) fn(m.faces[x->face].v[prevK(x->k)], true);
        }
    });
}

// The smoothed position of v from its ring summary (vertexSmoothPosition).
vec3 smoothPosition(const MeshVertex& r, const RingSummary& ring) {
    const vec3 p = r.position;
    if (r.isSharp()) {
        // A crease vertex slides along its crease; a junction stays.
        if (ring.crossings >= 3) return p;
        if (ring.crossings == 2) return (ring.cross0 + ring.cross1) * 0.5f;
    }
    if (ring.count == 0) return p;
    return ring.sum / float(ring.count);
}

// How many faces ahead the normal passes ask for the records they read.
constexpr std::size_t Ahead = 16;

// The ten material channels as integers: colour RGBA, light RGBA,
// roughness, metalness; and the mask bit that selects each.
constexpr unsigned char ChannelMask[10] = {1, 1, 1, 16, 2, 2, 2, 32, 4, 8};

struct MaterialSum {
    long long c[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

    void add(const pbr& m) {
        for (int i = 0; i < 4; ++i) {
            c[i] += m.colour[i];
            c[4 + i] += m.light[i];
        }
        c[8] += m.roughness;
        c[9] += m.metalness;
    }
    // The sum divided by n (truncating towards zero), clamped into each
    // channel's range.
    pbr mean(long long n) const {
        pbr r;
        auto unsignedChannel = [](long long x) { return std::uint16_t(std::clamp(x, 0LL, 65535LL)); };
        for (int i = 0; i < 4; ++i) {
            r.colour[i] = unsignedChannel(c[i] / n);
            r.light[i] = unsignedChannel(c[4 + i] / n);
        }
        r.roughness = pbr::clampSigned(long(c[8] / n));
        r.metalness = pbr::clampSigned(long(c[9] / n));
        return r;
    }
};

// Writes the channels of src selected by mask into dst.
void assignChannels(pbr& dst, const pbr& src, unsigned char mask) {
    for (int i = 0; i < 4; ++i) {
        if (mask & ChannelMask[i]) dst.colour[i] = src.colour[i];
        if (mask & ChannelMask[4 + i]) dst.light[i] = src.light[i];
    }
    if (mask & ChannelMask[8]) dst.roughness = src.roughness;
    if (mask & ChannelMask[9]) dst.metalness = src.metalness;
}

// Scratch storage for n records of a whole-mesh pass, kept per thread from
// call to call: a mesh of millions of vertices would otherwise have tens of
// megabytes of fresh pages faulted in and cleared on every call. Replaced
// when it is too small or far too large. One pass type per T: a pass must
// not be entered again while it runs.
template <class T>
T* scratch(std::size_t n) {
    static thread_local std::unique_ptr<T[]> buffer;
    static thread_local std::size_t capacity = 0;
    if (n > capacity || n < capacity / 8) {
        buffer.reset();
        buffer.reset(new T[n]);
        capacity = n;
    }
    return buffer.get();
}

}  // namespace

// ---------------------------------------------------------------------------
// Whole-mesh normals

// The corner normals of the whole mesh (calculateNormals modes 1 and 2).
//
// One pass over the faces computes the face normals and gathers, per vertex,
// the sum of its faces' normals and what edges meet it. A plain vertex (no
// sharp or open edge) takes the normalised sum in every corner, a vertex
// whose edges are all sharp or open takes each face's normal; a second pass
// over the faces writes those corners. The other vertices are walked sector
// by sector at the end (a walk reads face normals and writes the corners of
// its own vertex only, so the order against the face pass does not matter).
//
// The faces are read a block at a time: first the normals of the block
// (independent of each other, so that their arithmetic and the fetches of
// their vertices overlap), then their share of the vertex state. In a
// rebuild the first pass reads the face table instead of the records, and
// the second writes the face normals (and the table's links, when they are
// not in the records yet) with the corners.
//
// Outside a rebuild the two passes run as one sweep: the corners of a block
// are written a few blocks behind the block being read, while its records
// are still cached, settling each vertex when its first corner is written.
// In file order a vertex's faces lie close together and it is complete by
// then. A vertex that gains a face after it was settled is premature: when
// it has one closed fan and no sharp or open edge its corners are written
// again round the fan, else (and once premature vertices are common, as in
// shuffled faces) the second pass runs after all. Either way every corner
// ends up as the two separate passes write it.
class CornerNormalPass {
public:
    CornerNormalPass(Mesh& m, bool faceNormals, FaceTable* table) : m_(m), faceNormals_(faceNormals), table_(table) {}

    void run() {
        nV_ = m_.vertexCount();
        nF_ = m_.faceCount();
        pass_ = scratch<VertexPass>(std::size_t(nV_));
        VertexPass* out = pass_;
        m_.vertices.forRange(0, m_.vertices.size(), [&out](const MeshVertex& r) {
            // An inactive vertex gets no stored face, so it never settles
            // (the second pass skips it as settleVertices does).
            *out++ = VertexPass{r.position, r.isActive() ? r.face : -1, vec3(0, 0, 0), 0};
        });
        if (table_) {
            // The face normals, three floats a face, go to the table's spare
            // storage when it has room.
            if (table_->spare.size() >= 3 * std::size_t(nF_))
                normals_ = std::move(table_->spare);
            else
                normals_.allocate(3 * std::size_t(nF_));
        }
        if (table_) {
            for (int i = 0; i < nF_;) {
                std::size_t n = 0;
                m_.faces.contiguous(std::size_t(i), n);
                readTable(i, int(n));
                i += int(n);
            }
        }
        // The sweep reads every face, also when it gives up writing.
        if (table_ || !sweep()) {
            settleVertices();
            for (int i = 0; i < nF_;) {
                std::size_t n = 0;
                MeshFace* block = m_.faces.contiguous(std::size_t(i), n);
                write(block, i, int(n));
                i += int(n);
            }
        }
        if (table_) table_->linksWritten = true;
        for (const int w : walked_) m_.vertexNormals(w);
    }

private:
    // What the face passes need of a vertex, in half a cache line.
    struct VertexPass {
        vec3 position;
        std::int32_t face;    // stored face
        vec3 sum;             // sum of the normals of its faces; then its normal
        std::uint32_t state;  // CornerState bits, the sweep's own, and its count of faces
    };
    static constexpr std::uint32_t Bounded = CornerOnSharpEdge | CornerOnOpenEdge;
    // The sweep's vertex state: settled (its corners are being written),
    // walked sector by sector, gathered again after it was settled.
    static constexpr std::uint32_t Settled = 1u << 8, Walked = 1u << 9, Premature = 1u << 10;
    static constexpr std::uint32_t Settling = CornerDirect | CornerFaceSectors | Settled | Walked;
    static constexpr int CountShift = 12;  // the faces gathered, above the state bits
    static constexpr std::uint32_t OneFace = 1u << CountShift;
    static constexpr int Lag = 8;            // blocks between the block read and the block written
    static constexpr int Ahead = 16;         // faces whose vertices are fetched early
    static constexpr int RecordsAhead = 32;  // faces whose records are fetched early
    static constexpr int Block = int(Mesh::FaceList::BlockSize);
    static_assert(sizeof(float) == sizeof(std::int32_t), "a face normal fills three entries of the spare storage");

    // A face normal kept as the bits of its three floats.
    static void store(std::int32_t* to, const vec3& n) {
        const float xyz[3] = {n.x, n.y, n.z};
        std::memcpy(to, xyz, sizeof xyz);
    }
    static vec3 load(const std::int32_t* from) {
        float xyz[3];
        std::memcpy(xyz, from, sizeof xyz);
        return vec3(xyz[0], xyz[1], xyz[2]);
    }

    // Vertices are fetched early only while the faces jump between far
    // apart vertices (in file order they are close and already cached):
    // counts the jumps of a block's first corners.
    int jump(unsigned a) {
        const int far = int(a - lastVertex_ + 4096u > 8192u);
        lastVertex_ = a;
        return far;
    }

    // The n faces from face i0 (contiguous records). Locals instead of
    // members in the loops: stores into the records would otherwise make
    // the compiler read every member again.
    void read(MeshFace* block, int i0, int n) {
        VertexPass* const pass = pass_;
        const unsigned nV = unsigned(nV_);
        const int nF = nF_;
        bool usable[Block];
        const bool fetch = scattered_;
        int jumps = 0;
        for (int j = 0; j < n; ++j) {
            if (fetch && j + Ahead < n) {
                const MeshFace& A = block[j + Ahead];
                for (int k = 0; k < 3; ++k) __builtin_prefetch(pass + (unsigned(A.v[k]) < nV ? A.v[k] : 0));
            }
            if (j + RecordsAhead < n) {
                // The records stream in from memory: every line of the
                // record some faces ahead is fetched, for writing.
                const char* r = reinterpret_cast<const char*>(block + j + RecordsAhead);
                __builtin_prefetch(r, 1);
                __builtin_prefetch(r + 64, 1);
                __builtin_prefetch(r + sizeof(MeshFace) - 1, 1);
            }
            MeshFace& F = block[j];
            const unsigned a = unsigned(F.v[0]), b = unsigned(F.v[1]), c = unsigned(F.v[2]);
            usable[j] = F.isActive() && a < nV && b < nV && c < nV;
            if (usable[j] && faceNormals_)
                F.normal = triangleNormal(pass[a].position, pass[b].position, pass[c].position);
            jumps += jump(a);
        }
        scattered_ = 4 * jumps > n;
        if (!sweeping_) {
            for (int j = 0; j < n; ++j)
                if (usable[j]) gather(pass, block[j].v, block[j].f, block[j].flags, block[j].normal, i0 + j, nF);
            return;
        }
        for (int j = 0; j < n; ++j) {
            if (!usable[j]) continue;
            const MeshFace& F = block[j];
            gather(pass, F.v, F.f, F.flags, F.normal, i0 + j, nF);
            for (const int v : F.v) {
                VertexPass& p = pass[v];
                p.state += OneFace;
                if ((p.state & (Settled | Premature)) == Settled) {
                    p.state |= Premature;
                    premature_.push_back(v);
                }
            }
        }
    }

    // The same from the face table (every active face there has three
    // distinct vertices in range); the normals go to a side list.
    void readTable(int i0, int n) {
        VertexPass* const pass = pass_;
        const int nF = nF_;
        const std::int32_t* const corners = table_->corners.data() + 3 * std::size_t(i0);
        const std::int32_t* const links = table_->links.data() + 3 * std::size_t(i0);
        const std::uint8_t* const flags = table_->flags.data() + i0;
        std::int32_t* const normals = normals_.data() + 3 * std::size_t(i0);
        const bool fetch = scattered_;
        int jumps = 0;
        for (int j = 0; j < n; ++j) {
            const std::int32_t* c = corners + 3 * j;
            if (fetch && j + Ahead < n)
                for (int k = 0; k < 3; ++k) __builtin_prefetch(pass + std::max(0, c[3 * Ahead + k]));
            if (c[0] < 0) continue;
            const vec3 normal = triangleNormal(pass[c[0]].position, pass[c[1]].position, pass[c[2]].position);
            store(normals + 3 * j, normal);
            jumps += jump(unsigned(c[0]));
        }
        scattered_ = 4 * jumps > n;
        for (int j = 0; j < n; ++j) {
            if (corners[3 * j] < 0) continue;
            gather(pass, corners + 3 * j, links + 3 * j, flags[j], load(normals + 3 * j), i0 + j, nF);
        }
    }

    // Face i's share of the state of its vertices v (in range).
    static void gather(VertexPass* pass, const std::int32_t* v, const std::int32_t* f, std::uint8_t flags,
                       const vec3& normal, int i, int nF) {
        const bool plain = plainFace(f, flags, nF);
        for (int k = 0; k < 3; ++k) {
            VertexPass& p = pass[v[k]];
            p.sum += normal;
            std::uint32_t bits = plain ? std::uint32_t(CornerOnSmoothEdge) : cornerEdges(f, flags, k, nF);
            if (p.face == i) bits |= CornerStartSeen;
            p.state |= bits;
        }
    }

    // A vertex without sharp or open edges has one sector, its normal the
    // normalised sum; one whose edges are all sharp or open has one sector
    // per face, its normal the face's; the others are walked.
    void settleVertices() {
        int v = 0;
        m_.vertices.forRange(0, m_.vertices.size(), [this, &v](const MeshVertex& r) {
            const int i = v++;
            if (!r.isActive() || r.face < 0) return;
            VertexPass& p = pass_[i];
            const std::uint8_t settling = cornerSettling(p.state);
            if (!(p.state & CornerStartSeen) || !settling) {
                walked_.push_back(i);  // without a usable stored face the walk does nothing
                return;
            }
            if (settling == CornerDirect) p.sum = normalise(p.sum);
            p.state |= settling;
        });
    }

    // The corners of the plain vertices and of those with face sectors of
    // the n faces from face i0 (with a table: also their normals and links).
    void write(MeshFace* block, int i0, int n) {
        const VertexPass* const pass = pass_;
        const unsigned nV = unsigned(nV_);
        const bool fromTable = table_ != nullptr;
        const bool link = fromTable && !table_->linksWritten;
        for (int j = 0; j < n; ++j) {
            MeshFace& F = block[j];
            if (!F.isActive()) continue;
            if (fromTable) {
                F.normal = load(normals_.data() + 3 * std::size_t(i0 + j));
                if (link) table_->link(F, std::size_t(i0 + j));
            }
            for (int k = 0; k < 3; ++k) {
                const unsigned v = unsigned(F.v[k]);
                if (v >= nV) continue;
                const VertexPass& p = pass[v];
                if (p.state & CornerDirect)
                    F.normals[k] = p.sum;
                else if (p.state & CornerFaceSectors)
                    F.normals[k] = normalise(F.normal);
            }
        }
    }

    // The one sweep: reads each block and writes the corners of the block
    // Lag blocks behind. False when the two passes' second half must run
    // after all (every face has been read then).
    bool sweep() {
        sweeping_ = true;
        std::pair<int, int> pending[Lag + 1];  // first face and count of the blocks read, not written
        int held = 0;
        auto writeOldest = [&]() {
            std::size_t n = 0;
            MeshFace* block = m_.faces.contiguous(std::size_t(pending[0].first), n);
            writeSettling(block, pending[0].second);
            std::move(pending + 1, pending + held, pending);
            --held;
        };
        for (int i = 0; i < nF_;) {
            std::size_t n = 0;
            MeshFace* block = m_.faces.contiguous(std::size_t(i), n);
            read(block, i, int(n));
            i += int(n);
            read_ = i;
            if (!sweeping_) continue;
            pending[held++] = {i - int(n), int(n)};
            if (held > Lag) writeOldest();
            if (premature_.size() > settled_ / 16 + 4096) abandon();
        }
        while (sweeping_ && held > 0) writeOldest();
        return sweeping_ && settlePremature();
    }

    // Stops writing during the sweep: the vertex state is gathered again
    // from the faces read so far (settling replaced sums by normals).
    void abandon() {
        sweeping_ = false;
        walked_.clear();
        premature_.clear();
        VertexPass* const pass = pass_;
        for (int v = 0; v < nV_; ++v) {
            pass[v].sum = vec3(0, 0, 0);
            pass[v].state = 0;
        }
        const bool withNormals = faceNormals_;
        faceNormals_ = false;  // the face normals read so far are in place
        for (int i = 0; i < read_;) {
            std::size_t n = 0;
            MeshFace* block = m_.faces.contiguous(std::size_t(i), n);
            n = std::min(n, std::size_t(read_ - i));
            read(block, i, int(n));
            i += int(n);
        }
        faceNormals_ = withNormals;
    }

    // Settles vertex v from what has been read so far, as settleVertices
    // settles it at the end: its stored face decides when it has been read;
    // a vertex whose stored face comes later is checked again at the end.
    void settle(VertexPass& p, int v) {
        p.state |= Settled;
        ++settled_;
        if (p.face < 0) return;  // inactive: no corner of it is written
        if (p.face >= read_) {
            p.state |= Premature;
            premature_.push_back(v);
        } else if (!(p.state & CornerStartSeen)) {
            p.state |= Walked;
            walked_.push_back(v);
            return;
        }
        const std::uint8_t settling = cornerSettling(p.state);
        if (!settling) {
            p.state |= Walked;
            walked_.push_back(v);
            return;
        }
        if (settling == CornerDirect) p.sum = normalise(p.sum);
        p.state |= settling;
    }

    // write() for the sweep: settles each vertex at its first corner.
    void writeSettling(MeshFace* block, int n) {
        VertexPass* const pass = pass_;
        const unsigned nV = unsigned(nV_);
        for (int j = 0; j < n; ++j) {
            MeshFace& F = block[j];
            if (!F.isActive()) continue;
            for (int k = 0; k < 3; ++k) {
                const unsigned v = unsigned(F.v[k]);
                if (v >= nV) continue;
                VertexPass& p = pass[v];
                if (!(p.state & Settled)) settle(p, int(v));
                if (p.state & CornerDirect)
                    F.normals[k] = p.sum;
                else if (p.state & CornerFaceSectors)
                    F.normals[k] = normalise(F.normal);
            }
        }
    }

    // The vertices settled before all their faces were read, now that all
    // are: each must settle as it did (a vertex only gains edges), and one
    // written face by face from its sum has its normal summed again over
    // its fan, which must hold every face it has, in face order, and
    // written round the fan. False, with the vertex state gathered again,
    // when one does not.
    bool settlePremature() {
        std::vector<int> fan;
        for (const int v : premature_) {
            VertexPass& p = pass_[v];
            const std::uint32_t was = p.state & Settling;
            if (!(p.state & CornerStartSeen)) {
                if (was != (Settled | Walked)) return failSweep();
            } else if (p.state & Bounded) {
                const std::uint32_t now = (p.state & CornerOnSmoothEdge) ? Walked : std::uint32_t(CornerFaceSectors);
                if (was != (Settled | now)) return failSweep();
            } else if (!rewriteFan(v, p, fan)) {
                return failSweep();
            }
        }
        return true;
    }

    // Sums the normals of v's faces round its closed fan from the stored
    // face in face order (as the face pass adds them), and writes the
    // normalised sum into v's corners there; false unless that fan holds
    // all of v's faces.
    bool rewriteFan(int v, VertexPass& p, std::vector<int>& fan) {
        const std::size_t count = p.state >> CountShift;
        fan.clear();
        int f = p.face;
        do {
            if (!m_.activeFace(f) || fan.size() >= count) return false;
            const MeshFace& F = m_.faces[f];
            const int k = F.corner(v);
            if (k < 0) return false;
            fan.push_back(f);
            f = F.f[nextK(k)];
        } while (f != p.face);
        if (fan.size() != count) return false;
        std::sort(fan.begin(), fan.end());
        vec3 sum(0, 0, 0);
        for (const int g : fan) sum += m_.faces[g].normal;
        p.sum = normalise(sum);
        for (const int g : fan) {
            MeshFace& G = m_.faces[g];
            G.normals[G.corner(v)] = p.sum;
        }
        return true;
    }

    bool failSweep() {
        read_ = nF_;
        abandon();
        return false;
    }

    Mesh& m_;
    bool faceNormals_;        // the face pass computes face normals (off while gathering again)
    FaceTable* const table_;  // in a rebuild: the faces' corners, links and flags
    int nV_ = 0, nF_ = 0;
    VertexPass* pass_ = nullptr;       // per-thread scratch
    FlatArray<std::int32_t> normals_;  // face normals read from the table (bits of three floats a face)
    std::vector<int> walked_;          // vertices walked sector by sector
    bool sweeping_ = false;            // reading and writing in one sweep
    int read_ = 0;                     // faces read so far
    std::size_t settled_ = 0;          // vertices settled in the sweep
    std::vector<int> premature_;       // vertices settled before all their faces were read
    bool scattered_ = true;            // the last block's faces jumped between far vertices
    unsigned lastVertex_ = 0;          // first corner of the last face read
};

void Mesh::calculateNormals(unsigned char mode) {
    if (mode > 2) return;
    // The whole pass follows edits that may have moved any vertex.
    positionsEdited();
    if (mode == 0) {
        faces.forRange(0, faces.size(), [this](MeshFace& F) {
            if (!F.isActive()) return;
            if (!validVertex(F.v[0]) || !validVertex(F.v[1]) || !validVertex(F.v[2])) return;
            F.normal = triangleNormal(vertices[F.v[0]].position, vertices[F.v[1]].position, vertices[F.v[2]].position);
        });
        return;
    }
    CornerNormalPass(*this, mode != 1, nullptr).run();
}

void Mesh::strokeNormalPass() { CornerNormalPass(*this, true, nullptr).run(); }

void Mesh::rebuildNormals(FaceTable& table) { CornerNormalPass(*this, true, &table).run(); }

void Mesh::calculateSelectedNormals() { calculateSelectedNormals(VertexFans()); }

void Mesh::calculateSelectedNormals(const VertexFans& gathered) {
    auto faceNormal = [this](int i) {
        if (!activeFace(i)) return;
        MeshFace& F = faces[i];
        if (!validVertex(F.v[0]) || !validVertex(F.v[1]) || !validVertex(F.v[2])) return;
        F.normal = triangleNormal(vertices[F.v[0]].position, vertices[F.v[1]].position, vertices[F.v[2]].position);
    };
    // The selected faces lie far apart: each face record is asked for Ahead
    // faces before its normal, its corners' records half as far ahead.
    const std::size_t n = selectedFaces.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + Ahead < n && validFace(selectedFaces[i + Ahead])) __builtin_prefetch(&faces[selectedFaces[i + Ahead]]);
        if (i + Ahead / 2 < n && validFace(selectedFaces[i + Ahead / 2]))
            for (const int v : faces[selectedFaces[i + Ahead / 2]].v)
                if (validVertex(v)) __builtin_prefetch(&vertices[v]);
        faceNormal(selectedFaces[i]);
    }
    for (int i = std::max(0, faceMark); i < faceCount(); ++i) faceNormal(i);
    // Corner normals: from the gathered fans where they are the first
    // selected vertices, the others gathered here.
    std::size_t done = 0;
    if (gathered.size() <= selectedVertices.size() && gathered.lists(selectedVertices.data(), gathered.size())) {
        vertexNormals(gathered);
        done = gathered.size();
    }
    if (done < selectedVertices.size()) {
        VertexFans rest;
        gatherFans(rest, selectedVertices.data() + done, selectedVertices.size() - done);
        vertexNormals(rest);
    }
}

void Mesh::calculateNewNormals() {
    // The selected bit marks the vertices already listed.
    std::vector<int> listed;
    for (int i = std::max(0, recordedFaceCount); i < faceCount(); ++i) {
        MeshFace& F = faces[i];
        if (!F.isActive()) continue;
        if (!validVertex(F.v[0]) || !validVertex(F.v[1]) || !validVertex(F.v[2])) continue;
        F.normal = triangleNormal(vertices[F.v[0]].position, vertices[F.v[1]].position, vertices[F.v[2]].position);
        for (int k = 0; k < 3; ++k) {
            MeshVertex& r = vertices[F.v[k]];
            if (r.isSelected()) continue;
            r.flags = std::uint8_t(r.flags | MeshVertex::SelectedBit);
            listed.push_back(F.v[k]);
        }
    }
    for (const int v : listed) {
        vertexNormals(v);
        MeshVertex& r = vertices[v];
        r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
        r.selection = -1;
    }
}

// ---------------------------------------------------------------------------
// Per-vertex sector operations

void Mesh::vertexNormals(int v) {
    vec3 acc(0, 0, 0);
    walkSectors(
        *this, v, [&](int f, int) { acc += faces[f].normal; },
        [&](int first, int count) {
            const vec3 n = normalise(acc);
            forSector(*this, v, first, count, [&n](MeshFace& F, int k) { F.normals[k] = n; });
            acc = vec3(0, 0, 0);
        });
}

void Mesh::vertexNormals(const VertexFans& fans) {
    const std::size_t n = fans.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + Ahead < n)
            for (const FanFace* x = fans.begin(i + Ahead); x != fans.end(i + Ahead); ++x) {
                __builtin_prefetch(&faces[x->face].normal);
                __builtin_prefetch(&faces[x->face].normals[x->k]);
            }
        // The sectors of walkSectors: a sector ends after a face whose
        // forward edge is sharp, and with the fan.
        const FanFace* first = fans.begin(i);
        const FanFace* const end = fans.end(i);
        vec3 acc(0, 0, 0);
        for (const FanFace* x = first; x != end; ++x) {
            acc += faces[x->face].normal;
            if (!x->forwardSharp() && x + 1 != end) continue;
            const vec3 nrm = normalise(acc);
            for (; first != x + 1; ++first) faces[first->face].normals[first->k] = nrm;
            acc = vec3(0, 0, 0);
        }
    }
}

void Mesh::vertexSmoothNormals(int v) {
    vec3 acc(0, 0, 0);
    walkSectors(
        *this, v, [&](int f, int k) { acc += faces[f].normals[k]; },
        [&](int first, int count) {
            const vec3 n = normalise(acc);
            forSector(*this, v, first, count, [&n](MeshFace& F, int k) { F.normals[k] = n; });
            acc = vec3(0, 0, 0);
        });
}

void Mesh::vertexSmoothMaterials(int v, unsigned char mask) {
    MaterialSum acc;
    walkSectors(
        *this, v, [&](int f, int k) { acc.add(faces[f].material[k]); },
        [&](int first, int count) {
            const pbr mean = acc.mean(count);
            forSector(*this, v, first, count, [&](MeshFace& F, int k) { assignChannels(F.material[k], mean, mask); });
            acc = MaterialSum();
        });
}

// ---------------------------------------------------------------------------
// Per-face smoothing

void Mesh::faceSmoothNormals(int f) {
    if (!activeFace(f)) return;
    MeshFace& F = faces[f];
    const vec3 m = normalise(F.normals[0] + F.normals[1] + F.normals[2]);
    for (int k = 0; k < 3; ++k) F.normals[k] = normalise(F.normals[k] + m);
}

void Mesh::faceSmoothMaterials(int f, unsigned char mask) {
    if (!activeFace(f)) return;
    MeshFace& F = faces[f];
    MaterialSum acc;
    for (int k = 0; k < 3; ++k) acc.add(F.material[k]);
    const pbr mean = acc.mean(3);
    for (int k = 0; k < 3; ++k) {
        MaterialSum pair;
        pair.add(F.material[k]);
        pair.add(mean);
        assignChannels(F.material[k], pair.mean(2), mask);
    }
}

void Mesh::smoothNormals(int passes) {
    for (int p = 0; p < passes; ++p) {
        for (int f = 0; f < faceCount(); ++f) faceSmoothNormals(f);
        for (int v = 0; v < vertexCount(); ++v)
            if (vertices[v].isActive() && vertices[v].face >= 0) vertexSmoothNormals(v);
    }
}

void Mesh::smoothMaterials(unsigned char mask, int passes) {
    for (int p = 0; p < passes; ++p) {
        for (int f = 0; f < faceCount(); ++f) faceSmoothMaterials(f, mask);
        for (int v = 0; v < vertexCount(); ++v)
            if (vertices[v].isActive() && vertices[v].face >= 0) vertexSmoothMaterials(v, mask);
    }
}

// ---------------------------------------------------------------------------
// Target positions and directions

vec3 Mesh::vertexSmoothPosition(int v) const {
    if (!validVertex(v)) return vec3(0, 0, 0);
    const MeshVertex& r = vertices[v];
    if (r.isCorner()) return r.position;
    return smoothPosition(r, summariseRing(*this, v));
}

vec3 Mesh::vertexSmoothPosition(const VertexFans& fans, std::size_t i) const {
    const int v = fans.vertex(i);
    if (!validVertex(v)) return vec3(0, 0, 0);
    const MeshVertex& r = vertices[v];
    if (r.isCorner()) return r.position;
    return smoothPosition(r, summariseFan(*this, v, fans.begin(i), fans.end(i)));
}

vec3 Mesh::vertexRelaxPosition(int v) const {
    if (!validVertex(v)) return vec3(0, 0, 0);
    const MeshVertex& r = vertices[v];
    const vec3 p = r.position;
    if (r.isCorner()) return p;
    const RingSummary ring = summariseRing(*this, v);
    if (r.isSharp()) {
        if (ring.crossings >= 3) return p;
        if (ring.crossings == 2) {
            // Half of the move towards the midpoint, along the crease.
            const vec3 m = (ring.cross0 + ring.cross1) * 0.5f - p;
            const vec3 d = normalise(ring.cross0 - ring.cross1);
            const float s = float(dot(m, d));
            return p + d * (0.5f * s);
        }
    }
    if (ring.count == 0) return p;
    // Half way towards the ring centre, in the plane across the ring's
    // estimated normal.
    const vec3 c = ring.sum / float(ring.count);
    vec3 first, prev, nsum(0, 0, 0);
    int j = 0;
    visitRing(*this, v, [&](int w, bool) {
        const vec3 u = (validVertex(w) ? vertices[w].position : p) - c;
        if (j == 0)
            first = u;
        else
            nsum += normalise(cross(u, prev));
        prev = u;
        ++j;
    });
    nsum += normalise(cross(first, prev));
    const vec3 N = normalise(nsum);
    const vec3 delta = c - p;
    const float along = float(dot(delta, N));
    return p + (delta - N * along) * 0.5f;
}

vec3 Mesh::vertexTangent(int v, int f) const {
    if (!validVertex(v)) return vec3(0, 0, 0);
    const MeshVertex& r = vertices[v];
    const vec3 p = r.position;
    if (!r.isSharp()) return (vertexRelaxPosition(v) - p) * 0.5f;
    const int s = findVStartRegion(v, f);
    const int e = findVEndRegion(v, f);
    if (!validVertex(s) || !validVertex(e)) return vec3(0, 0, 0);
    const vec3 ps = vertices[s].position;
    if (s == e) return normalise(p - ps);
    const vec3 a = ps - p;
    const vec3 b = vertices[e].position - p;
    vec3 n(0, 0, 0);
    if (activeFace(f)) {
        const MeshFace& F = faces[f];
        const int k = F.corner(v);
        n = k >= 0 ? F.normals[k] : F.normal;
    }
    if (dot(a, b) > 0.0) {
        // The feature edges make an acute angle: along their bisector,
        // turned to the side of the surface.
        vec3 t = normalise(normalise(a) + normalise(b));
        const dvec3 ba = qel::cross(dvec3(b), dvec3(a));
        if (qel::dot(ba, dvec3(n)) < 0.0) t = -t;
        return t;
    }
    return normalise(normalise(cross(n, a)) + normalise(cross(b, n)));
}

}  // namespace qel
