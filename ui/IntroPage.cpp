#include "ui/IntroPage.h"

#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

IntroPage::IntroPage(QWidget *parent) : PageView(Page::intro, parent)
{
    auto *text = new QLabel(
        tr("You will be guided through the steps necessary to use this software."), this);
    text->setObjectName(QStringLiteral("introText"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, Theme::defaultPadding, 3, 0);
    layout->setSpacing(0);
    layout->addWidget(text);
    layout->addStretch(1);
}
