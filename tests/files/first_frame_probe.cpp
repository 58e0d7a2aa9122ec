// Opens one scene file and builds its first frame as the view would: every
// tool of the objects list places itself (a cable takes a tube of its own
// there), then update() and buildVBO() of its element. Prints the
// processor seconds of the load and the frame, and the peak resident bytes
// above the program with its GL context and nothing loaded, as
// "<seconds> <bytes>". Exit 0 after a load, 3 when the file was refused, 1
// without a GL context, 2 without a path.

#include <cstdio>
#include <fstream>
#include <string>

#include "files/first_frame_util.h"
#include "gl/gl.h"
#include "scene/scene.h"
#include "support/gl_fixture.h"

namespace {

// A field of /proc/self/status in bytes (given there in kB).
long statusBytes(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string word;
    while (in >> word)
        if (word == field + ":") {
            long kb = 0;
            in >> kb;
            return kb * 1024;
        }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string path = argv[1];
    if (!tltest::initGLContext(argc, argv)) return 1;
    // The peak is measured from here: the empty program.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long empty = statusBytes("VmRSS");
    const double start = firstframe::processorSeconds();
    bool loaded = false;
    {
        qel::Scene scene;
        loaded = scene.load(path);
        firstframe::buildFirstFrame(scene);
        if (gl) gl->glFinish();
        std::printf("%.3f %ld\n", firstframe::processorSeconds() - start, statusBytes("VmHWM") - empty);
    }
    tltest::shutdownGLContext();
    return loaded ? 0 : 3;
}
