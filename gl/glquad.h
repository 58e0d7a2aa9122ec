#pragma once
// The two shared unit shapes: the unit square (whose vertex array object
// serves every draw of the engine) and a 36-point unit circle. Both feed
// attribute 0 with three floats per vertex and are uploaded once.

namespace qel {

class GLQuad {
public:
    // Creates the vertex array object (left bound) and the buffer of the four
    // corners (0,0,0), (1,0,0), (0,1,0), (1,1,0). False on a GL error.
    static bool buildVBO();
    // Points attribute 0 at the square's buffer.
    static bool enableVBO();
    static void disableVBO();
    // Draws the square as one triangle strip with the current program; with
    // the flag set the buffer is disabled again afterwards.
    static bool fill(bool disable);
    // Deletes the buffer; the vertex array object stays.
    static void deleteVBO();

    static unsigned int VAO;
    static unsigned int VBO;
    static bool VBOEnabled;
};

class GLCircle {
public:
    static bool buildVBO();
    static bool enableVBO();
    static void disableVBO();
    static void deleteVBO();
    // Draws the circle as a line loop with the current program.
    static bool draw(bool disable);

    static unsigned int VBO;
    static bool VBOEnabled;
    static int Count;
};

// Draws the unit square: GLQuad::fill.
bool GLFill(bool disable);

}  // namespace qel
