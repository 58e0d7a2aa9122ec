// The slider style of the material dialog.
#include "app/my_style.h"

MyStyle::MyStyle(const QString& baseKey) : QProxyStyle(baseKey) {}

MyStyle::~MyStyle() = default;

int MyStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                       QStyleHintReturn* returnData) const {
    if (hint == QStyle::SH_Slider_AbsoluteSetButtons) return Qt::LeftButton | Qt::RightButton | Qt::MiddleButton;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
