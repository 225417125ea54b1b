#pragma once

#include "ui/PageView.h"

// The Introduction page: one sentence near the top of the box, centred.
class IntroPage : public PageView
{
    Q_OBJECT

public:
    explicit IntroPage(QWidget *parent = nullptr);
};
