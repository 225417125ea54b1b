#pragma once

#include <QProxyStyle>

// Fusion, except that the menu bar's overflow icons are read when first
// drawn: every menu bar asks for them when it is made, and reading a PNG
// through the image reader probes each image-format plug-in the machine has,
// loading them all before the first frame, for a button that shows only
// when the menus do not fit.
class InstallerStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit InstallerStyle(QStyle *fusion);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
