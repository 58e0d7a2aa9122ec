#pragma once
// The value types that travel through the signals of the colour wheel, the
// material dialog and the dialogs object. Their signals and slots spell the
// types `pbr`, `byte` and `wvec4`, so that string-based connections such as
// "currentMaterialChanged(pbr,byte)" find them; RegisterMetaTypes() makes
// those three names known to Qt's meta-type system (queued connections and
// argument checks resolve parameter types by name).

#include <QMetaType>
#include <cstdint>

#include "core/vec.h"
#include "gl/pbr.h"

namespace qel {

// A channel mask of a material (bits of qel::pbr::Mask).
using byte = std::uint8_t;

// Registers "pbr", "wvec4" and "byte" (and the qualified names) once; safe
// to call before the application object exists and from any constructor.
void RegisterMetaTypes();

}  // namespace qel

Q_DECLARE_METATYPE(qel::pbr)
Q_DECLARE_METATYPE(qel::wvec4)
