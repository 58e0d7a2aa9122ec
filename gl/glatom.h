#pragma once
// Base of every GPU object of the engine. A GLAtom is created without a GL
// context and records only its parameters; it creates its GL object the
// first time it is enabled and releases its GL names when it is deleted.

class QOpenGLWidget;

namespace qel {

class GLAtom {
public:
    GLAtom() = default;
    GLAtom(const GLAtom&) = delete;
    GLAtom& operator=(const GLAtom&) = delete;
    virtual ~GLAtom() = default;

    // Creates the GL object on first use, then binds it. False when the
    // object cannot be created.
    virtual bool enable() = 0;
    virtual void disable() = 0;

    // The OpenGL widget whose context the engine draws with; set by the
    // widget when its context is initialised, null before.
    static QOpenGLWidget* screen;
};

}  // namespace qel
