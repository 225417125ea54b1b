#pragma once

#include "ui/PageView.h"

class LicenseText;

// The License page: the licence text in a scrolling, read-only view. The view
// takes the text when the page is made; a page made again takes it anew.
class LicensePage : public PageView
{
    Q_OBJECT

public:
    LicensePage(LicenseText &text, QWidget *parent = nullptr);

    QWidget *textView() const { return m_view; }

private:
    QWidget *m_view;
};
