#pragma once
// qel::GpuScope: makes the view's GL context current for the lifetime of the
// object when no context is current, so that GPU objects built or deleted
// by a command outside the frame loop (loading or replacing the scene, a
// new font) belong to the view's context instead of leaking or failing.

class QOpenGLWidget;

namespace qel {

class GpuScope {
public:
    // Nothing when there is no view widget or a context is already current.
    GpuScope();
    ~GpuScope();
    GpuScope(const GpuScope&) = delete;
    GpuScope& operator=(const GpuScope&) = delete;

    // The view's context is current inside the scope.
    bool current() const;

private:
    QOpenGLWidget* made = nullptr;  // the widget whose context this scope made current
};

}  // namespace qel
