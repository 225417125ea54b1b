#include "app/Appearance.h"

#include <QApplication>
#include <QFont>
#include <QStyle>
#include <QStyleFactory>

void Appearance::applyLight(QApplication &application)
{
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        application.setStyle(fusion);
        application.setPalette(fusion->standardPalette());
    }
    QFont font = application.font();
    font.setPixelSize(13);
    application.setFont(font);
}
