#pragma once

#include "ui/PageView.h"

class AppSettings;
class QLabel;
class QPushButton;
class SymbolView;

// The Summary page: success, or failure with the "Details" link that opens and
// closes the log window.
class SummaryPage : public PageView
{
    Q_OBJECT

public:
    SummaryPage(AppSettings &settings, QWidget *parent = nullptr);

    void refresh(const AppSettings &settings) override;

    SymbolView *icon() const { return m_icon; }
    QLabel *message() const { return m_message; }
    QPushButton *detailsLink() const { return m_details; }

private:
    SymbolView *m_icon;
    QLabel *m_message;
    QWidget *m_detailsRow;
    QPushButton *m_details;
};
