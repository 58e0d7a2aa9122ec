#pragma once
// The floors of the brush stamps on a mesh as it holds its records: the
// least work that does what a stamp does, reading and writing the mesh's
// own vertex and face records in the mesh's own order, so that a mesh
// whose records lie scattered costs its floor the same cache misses it
// costs the stamp, and a busy machine slows both alike. What the stamp has
// to find (the vertices in the ball, their rings, the corners of each) is
// listed once outside the clock, in the order of the records.
//
//   deform  each vertex of the ball moved by the falloff-weighted step
//           (read from its record, the moved position written to a flat
//           array: the records stay as the stamps left them); for a
//           scoped stamp, which refreshes the normals round what it moved
//           at once, the normals too, as smooth makes them
//   smooth  each vertex of the ball moved half way to the mean of its ring
//           by the falloff weight (the ring read from the vertex records);
//           the normals of the faces holding them made again and written
//           into their records, and the corner normals of the ball's
//           vertices, each the normalised sum of its faces' normals
//   paint   each vertex of the ball weighed by its offset, one corner's
//           material blended towards the brush's in the stamp's channels
//           (colour, roughness, metalness) and written to all its corners
//           in the face records

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/bench_meshes.h"
#include "mesh/mesh.h"
#include "scene/sculptor.h"

namespace benchfloors {

class StampFloor {
public:
    // The reach of the scene's brush at its centre, listed from the records.
    explicit StampFloor(benchmeshes::BrushScene& s) : s_(s) {
        qel::Mesh& m = *s.mesh;
        const double r2 = double(s.radius) * double(s.radius);
        std::vector<std::int32_t> at(std::size_t(m.vertexCount()), -1);  // a ball vertex's entry in inside_
        for (int v = 0; v < m.vertexCount(); ++v) {
            const qel::vec3 o = m.vertices[v].position - s.centre;
            if (m.vertices[v].isActive() && double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z < r2) {
                at[std::size_t(v)] = std::int32_t(inside_.size());
                inside_.push_back(v);
            }
        }
        std::vector<std::vector<std::int32_t>> ringOf(inside_.size());
        std::vector<std::vector<std::uint32_t>> cornersOf(inside_.size());
        for (int f = 0; f < m.faceCount(); ++f) {
            const qel::MeshFace& F = m.faces[f];
            if (!F.isActive()) continue;
            bool holds = false;
            for (int k = 0; k < 3; ++k) {
                const std::int32_t i = at[std::size_t(F.v[k])];
                if (i < 0) continue;
                holds = true;
                ringOf[std::size_t(i)].push_back(F.v[(k + 1) % 3]);
                cornersOf[std::size_t(i)].push_back(std::uint32_t(f) * 3 + std::uint32_t(k));
            }
            if (holds) faces_.push_back(f);
        }
        flatten(ringOf, ringFirst_, ring_);
        flatten(cornersOf, cornerFirst_, corners_);
        moved_.resize(inside_.size());
        steps_.resize(inside_.size());
    }

    // The floor of a stamp of the action (Deform, Smooth or PaintMaterial;
    // the other actions have none) in the scope: one pass, stepping back
    // and forth as the stamps do.
    void pass(qel::Sculptor::TAction action, qel::Sculptor::TSelect select) {
        const qel::vec3 c = forward_ ? s_.centre : s_.centre + s_.step;
        const qel::vec3 d = forward_ ? s_.step : -s_.step;
        forward_ = !forward_;
        if (action == qel::Sculptor::Smooth) {
            smooth(c);
            normals();
        } else if (action == qel::Sculptor::PaintMaterial) {
            paint(c);
        } else {
            deform(c, d);
            if (select != qel::Sculptor::SelectElement) normals();
        }
    }

    std::size_t vertices() const { return inside_.size(); }

private:
    template <class T>
    static void flatten(const std::vector<std::vector<T>>& lists, std::vector<std::uint32_t>& first,
                        std::vector<T>& flat) {
        for (const auto& list : lists) {
            first.push_back(std::uint32_t(flat.size()));
            flat.insert(flat.end(), list.begin(), list.end());
        }
        first.push_back(std::uint32_t(flat.size()));
    }

    // p's distance from the brush at c in brush radii; false outside the
    // ball.
    bool within(const qel::vec3& p, const qel::vec3& c, double& t) const {
        const qel::vec3 o = p - c;
        const double q = double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z;
        const double r2 = double(s_.radius) * double(s_.radius);
        if (q >= r2) return false;
        t = std::sqrt(q / r2);
        return true;
    }

    void deform(const qel::vec3& c, const qel::vec3& d) {
        const qel::Mesh& m = *s_.mesh;
        for (std::size_t i = 0; i < inside_.size(); ++i) {
            const qel::vec3 p = m.vertices[inside_[i]].position;
            double t = 0;
            moved_[i] = within(p, c, t) ? p + d * float(qel::Mesh::falloff(t)) : p;
        }
        benchmark::DoNotOptimize(moved_.data());
    }

    void smooth(const qel::vec3& c) {
        qel::Mesh& m = *s_.mesh;
        for (std::size_t i = 0; i < inside_.size(); ++i) {
            const qel::vec3 p = m.vertices[inside_[i]].position;
            double t = 0;
            steps_[i] = qel::vec3(0, 0, 0);
            if (!within(p, c, t)) continue;
            qel::vec3 sum(0, 0, 0);
            for (std::uint32_t j = ringFirst_[i]; j < ringFirst_[i + 1]; ++j) sum += m.vertices[ring_[j]].position;
            const float n = float(ringFirst_[i + 1] - ringFirst_[i]);
            steps_[i] = (sum / n - p) * float(0.5 * qel::Mesh::falloff(t));
        }
        benchmark::DoNotOptimize(steps_.data());
    }

    // The normals of the faces holding a ball vertex, and the corner
    // normals of the ball's vertices.
    void normals() {
        qel::Mesh& m = *s_.mesh;
        for (const std::int32_t f : faces_) {
            qel::MeshFace& F = m.faces[f];
            const qel::vec3& a = m.vertices[F.v[0]].position;
            F.normal = qel::normalize(qel::cross(m.vertices[F.v[1]].position - a, m.vertices[F.v[2]].position - a));
        }
        for (std::size_t i = 0; i < inside_.size(); ++i) {
            qel::vec3 sum(0, 0, 0);
            for (std::uint32_t j = cornerFirst_[i]; j < cornerFirst_[i + 1]; ++j) sum += m.faces[corners_[j] / 3].normal;
            const qel::vec3 n = qel::normalize(sum);
            for (std::uint32_t j = cornerFirst_[i]; j < cornerFirst_[i + 1]; ++j)
                m.faces[corners_[j] / 3].normals[corners_[j] % 3] = n;
        }
    }

    // One channel of the paint blend, (old - P) a + P truncated and clamped.
    static long blend(long old, long target, float a, long lo, long hi) {
        return long(std::clamp(double(float(old - target) * a + float(target)), double(lo), double(hi)));
    }

    void paint(const qel::vec3& c) {
        qel::Mesh& m = *s_.mesh;
        const qel::pbr P(qel::wvec4(65535, 0, 0, 65535), qel::wvec4(0, 0, 0, 65535), 0, 0);
        const unsigned char mask = qel::pbr::MaskColour | qel::pbr::MaskRoughness | qel::pbr::MaskMetalness;
        const float strength = 0.5f;
        for (std::size_t i = 0; i < inside_.size(); ++i) {
            double t = 0;
            if (cornerFirst_[i] == cornerFirst_[i + 1] || !within(m.vertices[inside_[i]].position, c, t)) continue;
            const float a = float(1.0 - double(strength) * ((t - 2.0) * t + 1.0));
            const std::uint32_t first = corners_[cornerFirst_[i]];
            const qel::pbr old = m.faces[first / 3].material[first % 3];
            qel::pbr mixed = old;
            for (int k = 0; k < 3; ++k) mixed.colour[k] = std::uint16_t(blend(old.colour[k], P.colour[k], a, 0, 65535));
            mixed.roughness =
                std::int16_t(blend(old.roughness, P.roughness, a, qel::pbr::SignedMin, qel::pbr::SignedMax));
            mixed.metalness =
                std::int16_t(blend(old.metalness, P.metalness, a, qel::pbr::SignedMin, qel::pbr::SignedMax));
            for (std::uint32_t j = cornerFirst_[i]; j < cornerFirst_[i + 1]; ++j)
                m.faces[corners_[j] / 3].material[corners_[j] % 3].assign(mixed, mask);
        }
    }

    benchmeshes::BrushScene& s_;
    bool forward_ = true;
    std::vector<std::int32_t> inside_;       // the ball's vertices, in record order
    std::vector<std::uint32_t> ringFirst_;   // per ball vertex: its run in ring_
    std::vector<std::int32_t> ring_;         // the vertex across each face's forward edge
    std::vector<std::uint32_t> cornerFirst_; // per ball vertex: its run in corners_
    std::vector<std::uint32_t> corners_;     // face x 3 + corner
    std::vector<std::int32_t> faces_;        // the faces holding a ball vertex, in record order
    std::vector<qel::vec3> moved_, steps_;
};

}  // namespace benchfloors
