// The first frame as the view builds it; see first_frame_util.h.

#include "files/first_frame_util.h"

#include <sys/resource.h>

#include <cstddef>

#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"

namespace firstframe {

void buildFirstFrame(qel::Scene& scene, const std::function<void(qel::Element&)>& built) {
    qel::ToolList& list = scene.objects;
    for (int i = 0; i < list.size(); ++i) {
        qel::Tool* t = list.tools[std::size_t(i)];
        t->transformRender(list.matrices[std::size_t(i)]);
        if (!t->element) continue;
        t->element->update();
        t->element->buildVBO();
        if (built) built(*t->element);
    }
}

double processorSeconds() {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    return double(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
           1e-6 * double(used.ru_utime.tv_usec + used.ru_stime.tv_usec);
}

}  // namespace firstframe
