#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The strip shown while an install runs: a progress bar, one line naming
// the product and the step ("Installing Calmfield 6 (step 7 of 55)"), and
// Cancel, which asks the run to stop after the command under way.
class InstallProgress : public QWidget
{
    Q_OBJECT

public:
    explicit InstallProgress(QWidget *parent = nullptr);

    QPushButton *cancelButton() const { return m_cancel; }
    QString line() const;

    // A run begins: Cancel is offered again.
    void begin();
    void show(int step, int total, const QString &product);
    // The same for an uninstall, which names no product.
    void showUninstall(int step, int total);

signals:
    void cancelRequested();

private:
    QProgressBar *m_bar;
    QLabel *m_line;
    QPushButton *m_cancel;
};
