#pragma once
// MyStyle: the style of the material dialog's sliders. A press with the
// left, right or middle button moves a slider straight to the pointer
// instead of paging; every other hint is the base style's.
//
// A QProxyStyle owns the base style given to its constructor, so MyStyle
// never takes a style that is in use: it builds on a new instance made from
// a style key (the application's style when the key is empty or unknown).

#include <QProxyStyle>

class MyStyle : public QProxyStyle {
public:
    explicit MyStyle(const QString& baseKey = QString());
    ~MyStyle() override;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
