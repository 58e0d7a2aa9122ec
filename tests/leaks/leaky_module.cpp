// A stand-in for a system library that leaks, built as the system's are:
// without the sanitizer and without frame pointers. One block stays
// referenced by the library's own global (as the GL driver keeps what it
// found out about the processor), another is lost outright.

#include <cstdlib>

// Read through volatile globals, the calls stay calls of realloc (the
// compiler turns realloc of a known null pointer into malloc).
namespace {
void* volatile held = nullptr;
void* volatile lost = nullptr;
}  // namespace

extern "C" void tl_leaky_module_hold() { held = std::realloc(held, 128); }

extern "C" void tl_leaky_module_drop() {
    lost = std::realloc(lost, 128);
    lost = nullptr;
}
