// The polyhedral primitives of qel::Mesh: the unit cube and its coloured
// handle variant, the tetrahedron, octahedron, icosahedron and dodecahedron.
// Every solid is wound counter-clockwise seen from outside, so its face
// normals point away from its centre.

#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

// The vertex flags of the primitives: active, plus the sharp bit when asked.
void addVertices(Mesh& m, const float (*p)[3], int count, bool sharp) {
    for (int i = 0; i < count; ++i) m.vertexAdd(p[i][0], p[i][1], p[i][2], -1, sharp, false);
}

// Faces given as corner triples, all three edges sharp or none.
void addTriangles(Mesh& m, const int (*t)[3], int count, bool sharp) {
    for (int i = 0; i < count; ++i) m.faceAdd(t[i][0], t[i][1], t[i][2], sharp, sharp, sharp);
}

// Polygons of N corners each, fanned from their first corner, with every
// polygon edge sharp (the inner fan diagonals stay smooth).
template <int N>
void addSharpPolygons(Mesh& m, const int (*polygons)[N], int count) {
    const std::vector<bool> sharp(N, true);
    std::vector<int> corners(N);
    for (int i = 0; i < count; ++i) {
        corners.assign(polygons[i], polygons[i] + N);
        m.facesAdd(corners, sharp);
    }
}

// Overwrites the colour's red, green and blue channels of the three corners
// of faces [first, first + count).
void paintFaces(Mesh& m, int first, int count, const wvec4& colour) {
    const pbr paint(colour, wvec4(0, 0, 0, 65535), 0, 0);
    for (int f = first; f < first + count && m.validFace(f); ++f)
        for (pbr& corner : m.faces[f].material) corner.assign(paint, pbr::MaskColour);
}

}  // namespace

Mesh* Mesh::Cube() {
    static const float p[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                  {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    // Bottom, top, y = 0, y = 1, x = 0, x = 1: faces 0-1, 2-3, 4-5, 6-7,
    // 8-9 and 10-11.
    static const int quads[6][4] = {{3, 2, 1, 0}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                    {2, 3, 7, 6}, {0, 4, 7, 3}, {1, 2, 6, 5}};
    Mesh* m = new Mesh();
    addVertices(*m, p, 8, true);
    addSharpPolygons<4>(*m, quads, 6);
    m->initialize(ResizeBox);
    return m;
}

Mesh* Mesh::CubeHandle() {
    Mesh* m = Cube();
    paintFaces(*m, 0, 4, wvec4(65535, 0, 0, 65535));  // the two z sides
    paintFaces(*m, 4, 4, wvec4(0, 65535, 0, 65535));  // the two y sides
    paintFaces(*m, 8, 4, wvec4(0, 0, 65535, 65535));  // the two x sides
    return m;
}

Mesh* Mesh::Tetrahedron() {
    // An equilateral base of edge 1 in z = 0 and an apex above its centroid
    // at height 1/sqrt(2).
    static const float p[4][3] = {{0, 0, 0}, {1, 0, 0}, {0.5f, 0.8660254f, 0}, {0.5f, 0.28867513f, 0.70710677f}};
    static const int t[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    Mesh* m = new Mesh();
    addVertices(*m, p, 4, true);
    addTriangles(*m, t, 4, true);
    m->initialize(ResizeMean);
    return m;
}

Mesh* Mesh::Octahedron() {
    static const float p[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    static const int t[8][3] = {{0, 4, 3}, {0, 5, 2}, {1, 4, 2}, {1, 5, 3},
                                {2, 4, 0}, {2, 5, 1}, {3, 4, 1}, {3, 5, 0}};
    Mesh* m = new Mesh();
    addVertices(*m, p, 6, true);
    addTriangles(*m, t, 8, true);
    m->initialize(ResizeMean);
    return m;
}

Mesh* Mesh::Icosahedron() {
    // Circumradius 2: a^2 + b^2 = 4.
    const float a = 1.05146f;
    const float b = 1.7013f;
    const float p[12][3] = {{-a, 0, b}, {a, 0, b}, {-a, 0, -b}, {a, 0, -b}, {0, b, a},  {0, b, -a},
                            {0, -b, a}, {0, -b, -a}, {b, a, 0}, {-b, a, 0}, {b, -a, 0}, {-b, -a, 0}};
    static const int t[20][3] = {{0, 6, 1},  {0, 11, 6}, {1, 4, 0},  {1, 8, 4},  {1, 10, 8},
                                 {2, 5, 3},  {2, 9, 5},  {2, 11, 9}, {3, 7, 2},  {3, 10, 7},
                                 {4, 8, 5},  {4, 9, 0},  {5, 8, 3},  {5, 9, 4},  {6, 10, 1},
                                 {6, 11, 7}, {7, 10, 6}, {7, 11, 2}, {8, 10, 3}, {9, 11, 0}};
    Mesh* m = new Mesh();
    addVertices(*m, p, 12, false);
    addTriangles(*m, t, 20, false);
    m->initialize(ResizeMean);
    m->makeSharp();
    return m;
}

Mesh* Mesh::Dodecahedron() {
    const float g = 0.618034f;
    const float G = 1.618034f;
    const float p[20][3] = {{-g, 0, G}, {g, 0, G},   {-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1},
                            {-1, 1, 1}, {1, -1, -1}, {1, -1, 1},   {1, 1, -1},  {1, 1, 1},
                            {G, g, 0},  {G, -g, 0},  {-G, g, 0},   {-G, -g, 0}, {-g, 0, -G},
                            {g, 0, -G}, {0, G, g},   {0, G, -g},   {0, -G, g},  {0, -G, -g}};
    static const int pentagons[12][5] = {{0, 3, 18, 7, 1},    {0, 5, 12, 13, 3},  {1, 9, 16, 5, 0},
                                         {2, 19, 18, 3, 13},  {4, 17, 8, 15, 14}, {6, 15, 8, 10, 11},
                                         {7, 11, 10, 9, 1},   {8, 17, 16, 9, 10}, {11, 7, 18, 19, 6},
                                         {12, 5, 16, 17, 4},  {13, 12, 4, 14, 2}, {14, 15, 6, 19, 2}};
    Mesh* m = new Mesh();
    addVertices(*m, p, 20, true);
    addSharpPolygons<5>(*m, pentagons, 12);
    m->initialize(ResizeMean);
    return m;
}

}  // namespace qel
