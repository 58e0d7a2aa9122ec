// Registration of the signal value types.
#include "app/meta_types.h"

namespace qel {

void RegisterMetaTypes() {
    static const bool registered = [] {
        qRegisterMetaType<pbr>();
        qRegisterMetaType<pbr>("pbr");
        qRegisterMetaType<wvec4>();
        qRegisterMetaType<wvec4>("wvec4");
        qRegisterMetaType<byte>("byte");
        return true;
    }();
    (void)registered;
}

}  // namespace qel
