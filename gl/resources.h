#pragma once
// Registration of the compiled-in shader bundle. The engine is a static
// library, so the bundle's initialiser only runs when it is called by name;
// the program (and every test that loads shaders) calls this once first.

namespace qel {

void initShaderResources();

}  // namespace qel
