// Merging of coincident symmetric copies.
#include "scene/symmetry_merge.h"

#include <cstddef>

namespace qel {
namespace symmetry {

namespace {

// The parallel lists of the copies, merged pair by pair.
struct Copies {
    std::vector<vec3>& positions;
    std::vector<std::uint8_t>& codes;
    int& count;
    std::vector<std::vector<vec3>>& axes;
    std::vector<float>& weights;
    bool average;  // Merge: average into the kept copy; Collapse: keep it as it is

    std::size_t size() const { return positions.size(); }

    bool consistent() const {
        const std::size_t n = size();
        if (codes.size() != n || weights.size() != n) return false;
        for (const std::vector<vec3>& a : axes)
            if (a.size() != n) return false;
        return true;
    }

    double distance2(std::size_t i, std::size_t j) const {
        const vec3& a = positions[i];
        const vec3& b = positions[j];
        const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
        return dx * dx + dy * dy + dz * dz;
    }

    template <class T>
    static void erase(std::vector<T>& v, std::size_t j) {
        v.erase(v.begin() + std::ptrdiff_t(j));
    }

    // Merges copy j into copy i (i != j, both present) and removes j.
    void mergeInto(std::size_t i, std::size_t j) {
        if (average) {
            positions[i] = (positions[i] + positions[j]) * 0.5f;
            weights[i] *= weights[j];
            for (std::vector<vec3>& a : axes) a[i] = (a[i] + a[j]) * 0.5f;
        }
        if (codes[i] == codes[j]) --count;
        codes[i] = std::uint8_t(codes[i] & codes[j]);
        erase(positions, j);
        erase(weights, j);
        erase(codes, j);
        for (std::vector<vec3>& a : axes) erase(a, j);
    }

    // One pass of the deciding merge; true when something merged.
    bool pass(double d2, std::vector<int>& kept, std::vector<int>& dropped) {
        bool merged = false;
        for (std::size_t i = 0; i + 1 < size(); ++i) {
            for (std::size_t j = i + 1; j < size(); ++j) {
                if (distance2(i, j) >= d2) continue;
                mergeInto(i, j);
                kept.push_back(int(i));
                dropped.push_back(int(j));
                merged = true;
                break;
            }
        }
        return merged;
    }

    void replay(const std::vector<int>& kept, const std::vector<int>& dropped) {
        const std::size_t pairs = kept.size() < dropped.size() ? kept.size() : dropped.size();
        for (std::size_t k = 0; k < pairs; ++k) {
            const int i = kept[k], j = dropped[k];
            if (i < 0 || j < 0 || i == j || std::size_t(i) >= size() || std::size_t(j) >= size()) continue;
            mergeInto(std::size_t(i), std::size_t(j));
        }
    }

    void run(std::vector<int>& kept, std::vector<int>& dropped, float distance) {
        if (!consistent()) return;
        if (!kept.empty()) {
            replay(kept, dropped);
            return;
        }
        const double d2 = double(distance) * double(distance);
        while (pass(d2, kept, dropped)) {
        }
    }
};

}  // namespace

void Merge(std::vector<vec3>& positions, std::vector<std::uint8_t>& codes, int& count,
           std::vector<std::vector<vec3>>& axes, std::vector<float>& weights, std::vector<int>& mergeKept,
           std::vector<int>& mergeDropped, float distance) {
    Copies{positions, codes, count, axes, weights, true}.run(mergeKept, mergeDropped, distance);
}

void Collapse(std::vector<vec3>& positions, std::vector<std::uint8_t>& codes, int& count,
              std::vector<std::vector<vec3>>& axes, std::vector<float>& weights, std::vector<int>& mergeKept,
              std::vector<int>& mergeDropped, float distance) {
    Copies{positions, codes, count, axes, weights, false}.run(mergeKept, mergeDropped, distance);
}

void Rebuild(const std::vector<std::uint8_t>& codes, int count, std::vector<TSymmetry>& list) {
    unsigned mask = 0;
    for (std::uint8_t c : codes) mask |= c;
    for (std::int32_t t = 0; t < 6; ++t)
        if (mask & (1u << unsigned(t))) list.push_back({t, t < 3 ? 0 : count});
}

}  // namespace symmetry
}  // namespace qel
