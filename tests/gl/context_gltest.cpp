#include "gl/gl.h"
#include "support/gl_fixture.h"

#include <gtest/gtest.h>

#include <array>

TEST(GLContext, IsCoreProfileOfVersionFourOrLater) {
    ASSERT_NE(gl, nullptr);
    GLint major = 0;
    gl->glGetIntegerv(GL_MAJOR_VERSION, &major);
    EXPECT_GE(major, 4);
    EXPECT_EQ(tltest::glContext()->format().profile(), QSurfaceFormat::CoreProfile);
}

TEST(GLContext, ClearsAFramebufferAndReadsItBack) {
    GLuint fbo = 0, tex = 0;
    gl->glGenTextures(1, &tex);
    gl->glBindTexture(GL_TEXTURE_2D, tex);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 3, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    gl->glGenFramebuffers(1, &fbo);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
    ASSERT_EQ(gl->glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));

    gl->glViewport(0, 0, 3, 2);
    gl->glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    std::array<unsigned char, 3 * 2 * 4> pixels{};
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glReadPixels(0, 0, 3, 2, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pixels[4 * i + 0], 255);
        EXPECT_NEAR(pixels[4 * i + 1], 128, 1);
        EXPECT_EQ(pixels[4 * i + 2], 0);
        EXPECT_EQ(pixels[4 * i + 3], 255);
    }
    gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    gl->glDeleteFramebuffers(1, &fbo);
    gl->glDeleteTextures(1, &tex);
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}
