#pragma once
// Diagnostics of the GPU layer. Every failure of a GPU object is reported by
// its result and by one message beginning with "ERROR " and the class and
// method name; the messages go to the program's message sink, which discards
// them.

#include <string>

namespace qel {

void glReportError(const std::string& message);

// Clears every pending GL error flag.
void glClearErrors();

}  // namespace qel
