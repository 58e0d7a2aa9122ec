// Linked into every program of the sanitizer build: no shared library is
// unloaded before the process ends.
//
// LeakSanitizer checks for leaks at exit and names each frame of a leaked
// block's stack by the module it lies in; its suppressions match those names.
// A library unloaded before the check (the GL driver goes when its display is
// closed) leaves frames without a module and without a name, which no
// suppression can match, and the fast unwinder can stop at such a frame
// before it reaches a library that still has its name. Whether such a
// library leaks at all depends on the host (the software renderer takes
// other paths on other processors), so the verdict would too. Kept loaded,
// its frames keep their names and its globals keep pointing at what it still
// holds. The library's own finalizers still run at exit.
//
// Unwinding every allocation the slow way (fast_unwind_on_malloc=0) is no
// way out: besides its cost, it hangs in the software renderer's compiler,
// whose unwind-table registration allocates while the unwinder holds its
// lock, and a library unloaded early would still have no name.
//
// The definition in the executable comes first in every library's symbol
// lookup, so every dlclose of the process comes here.

#include <dlfcn.h>
#include <link.h>

extern "C" int dlclose(void* handle) {
    using Close = int (*)(void*);
    static const Close next = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "dlclose"));
    if (!next) return 0;
    // A no-load open of the loaded object with RTLD_NODELETE pins it; closing
    // that extra reference again leaves the count as the caller expects.
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0]) {
        if (void* pinned = dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE)) next(pinned);
    }
    return next(handle);
}
