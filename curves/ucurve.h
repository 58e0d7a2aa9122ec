#pragma once
// qel::UCurve, the uniformly resampled curve (element type 3): it holds a
// base curve and shows, in its own arrays, the base resampled by its radii
// (Curve::Uniform). Sculpting and closing go to the base and every change is
// followed by a new resampling.
//
// The base is shared through the element reference count (it is this
// curve's sub-element) and is never deleted by this curve. Between reading
// and resolve the base's element id is kept in baseId, never in the
// pointer. A base id that names no plain curve (not a resampled curve: no
// cycles) leaves the curve without base and empty.

#include <cstdint>
#include <vector>

#include "curves/curve.h"

namespace qel {

class UCurve : public Curve {
public:
    static constexpr std::uint32_t RecordTag = 0xE1000007u;
    // The old records, read only: the base embedded in the record, and the
    // same after a nested element record and 8 bytes, followed by 64 bytes.
    static constexpr std::uint32_t OldRecordTag = 0xE0000007u;
    static constexpr std::uint32_t OldNestedRecordTag = 0xE0000008u;
    static constexpr std::int32_t OldNestedGap = 8;
    static constexpr std::int32_t OldNestedTail = 64;
    static constexpr std::uint32_t RecordLength = 12;

    float step = 0.0f;         // written to the record; the resampling does not use it
    Curve* base = nullptr;     // the curve being resampled
    std::int32_t baseId = -1;  // the base's element id between reading and resolve

    // No base, step 0.
    explicit UCurve(TCurveType type = Plain);
    // With a base: the base's initialize(ResizeKeep), its centre and size,
    // then the first resampling.
    UCurve(Curve* base, TCurveType type);
    // Reads a record body: the current one (DataRead), or with old the body
    // of the old records: the base curve's centre, size, one skipped byte,
    // i32 vertex count, vertex records, i32 edge count, edge records. An old
    // body becomes the base (curve type 2, element id 0, so that resolve
    // keeps it) and is resampled at once; a refused one leaves no base and
    // status 1.
    explicit UCurve(buffer& b, bool old = false);
    UCurve(const UCurve&) = delete;
    UCurve& operator=(const UCurve&) = delete;
    ~UCurve() override = default;

    // Appends the record: tag, 12, step, curve type, the base's id (-1
    // without base).
    void DataWrite(buffer& b) override;
    // Step, curve type and base id; a short body leaves no base.
    void DataRead(buffer& b) override;

    void init() override;
    void initialize(TResizeStyle style) override;
    // A resampled curve over a clone of the base, with this curve's centre
    // and size; step 0, no GL buffer.
    UCurve* clone() override;
    void subElements(std::vector<Element*>& list) override;
    void allElements(std::vector<Element*>& list) override;
    void resolve(const std::vector<Element*>& elements) override;
    // Resamples the base (within the budget of a load in progress,
    // scene/load_budget.h), then marks the curve changed.
    void touch() override;
    // Forwarded to the base, then touch(); nothing without base.
    void sculpt(std::vector<Sculptor*>& sculptors) override;
    // The base's stroke is forgotten.
    void clearStroke() override;
    void close() override;

private:
    void resample();
    // A record was read: resolve turns baseId into the base.
    bool idPending_ = false;
};

}  // namespace qel
