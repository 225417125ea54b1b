#include "ui/PageView.h"

PageView::PageView(Page page, QWidget *parent) : QWidget(parent), m_page(page) {}

void PageView::refresh(const AppSettings &) {}
