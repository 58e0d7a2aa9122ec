#pragma once
// GL view tests: one frame of the view rendered and read back.

#include <gtest/gtest.h>

#include <vector>

#include "core/vec.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "view/glview.h"

namespace viewtest {

// Raises redraw, renders a frame and reads the image back, rows bottom
// first (w x h pixels of RGBA bytes); empty pixels when the frame failed.
inline std::vector<qel::bvec4> renderedFrame(qel::GLView& view, int w, int h) {
    view.redraw = 1;
    qel::Texture2D* image = view.render();
    std::vector<qel::bvec4> out(std::size_t(w) * std::size_t(h));
    EXPECT_TRUE(image);
    if (!image) return out;
    gl->glBindTexture(GL_TEXTURE_2D, image->id());
    gl->glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    return out;
}

}  // namespace viewtest
