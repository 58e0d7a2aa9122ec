#pragma once
// A scene holding every element record and every tool record, shared by the
// scene file tests and the view's save and load tests.

#include <string>

#include "scene/scene.h"

namespace everyrecord {

// A template with a plain child; placed objects showing a mesh (two in a
// ring), a clay, a curve, a resampled curve of it, a tube along it and a
// revoluton sharing the tube's profile, a lightning, a sprite and an
// animated sprite of the image; an array of the template; a two-ended pair
// and a cable with its partner. Listed, as the view lists a scene before it
// draws: the two-ended tools take their rest lengths. `image` names a
// readable image file.
void build(qel::Scene& s, const std::string& image);

}  // namespace everyrecord
