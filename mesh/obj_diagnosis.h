#pragma once
// qel::ObjDiagnosis: why OBJ text gave no mesh, told by the line that
// caused it. An import that fails runs it once over the file's text (the
// import itself keeps no line numbers, so that a sound file costs nothing
// for it).
//
// In this order, the first that applies:
//   - a face line that gives an edge a third face ("line 12, "f 1 2 5",
//     gives the edge between vertices 1 and 2 a third face"), each polygon
//     triangulated as the import triangulates it (its fan, or where the fan
//     folds the triangles inside its outline);
//   - the first face line that gives no face: a corner that is not a
//     vertex number, vertex 0, a negative number counting back past the
//     first vertex, a number beyond the file's vertices, or fewer than three
//     corners;
//   - no "f" line at all, or neither "v" nor "f" line (not an OBJ mesh).
// Lines count from 1; LF, CR and CR LF each end one line. A line is quoted
// up to 40 characters.

#include <cstddef>
#include <string>

namespace qel {

class ObjDiagnosis {
public:
    // The reason as a clause to follow "could not be opened: "; empty when
    // none of the above applies.
    static std::string Why(const char* text, std::size_t size);
    // What a load that left out count face lines (lines that gave no face)
    // says of them: their number and the first with its reason, as a
    // clause ("2 face lines gave no face and were left out (the first:
    // line 7, "f 1 2 9", names vertex 9, but the file has 8 vertices)").
    static std::string LeftOut(const char* text, std::size_t size, std::size_t count);
};

}  // namespace qel
