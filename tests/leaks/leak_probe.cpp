// Loads a library through Qt (so that its unload comes from another
// library, as the GL driver's does), lets it leak, unloads it and ends;
// with "own" it also leaks a block of its own first.
// Usage: tl_leak_probe LIBRARY library|own

#include <QLibrary>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A block nothing points at when the process ends.
__attribute__((noinline)) void leakABlockOfOurOwn() {
    void* volatile block = std::malloc(77);
    (void)block;
}

bool leakInsideLibrary(const char* path) {
    QLibrary library(QString::fromLocal8Bit(path));
    using Leak = void (*)();
    const auto hold = reinterpret_cast<Leak>(library.resolve("tl_leaky_module_hold"));
    const auto drop = reinterpret_cast<Leak>(library.resolve("tl_leaky_module_drop"));
    if (!hold || !drop) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, qPrintable(library.errorString()));
        return false;
    }
    hold();
    drop();
    if (!library.unload()) {
        std::fprintf(stderr, "cannot unload %s: %s\n", path, qPrintable(library.errorString()));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[2], "library") != 0 && std::strcmp(argv[2], "own") != 0)) {
        std::fprintf(stderr, "usage: %s LIBRARY library|own\n", argv[0]);
        return 2;
    }
    if (!leakInsideLibrary(argv[1])) return 2;
    if (std::strcmp(argv[2], "own") == 0) leakABlockOfOurOwn();
    std::puts("the library leaked and was unloaded");
    return 0;
}
