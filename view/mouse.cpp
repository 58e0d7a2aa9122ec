#include "view/mouse.h"

namespace qel {

MouseState mouseRead;
MouseState mouse;

}  // namespace qel
