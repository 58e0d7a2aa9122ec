#pragma once
// Registration of the compiled-in resource bundles. The engine is a static
// library, so a bundle's initialiser only runs when it is called by name; the
// program (and every test that reads the resources) calls these once first.
// Each may be called any number of times.

namespace qel {

// The icons, the bitmap fonts, the built-in panoramas and the licence text.
void initIconResources();
// The GLSL sources.
void initShaderResources();

}  // namespace qel
