#pragma once

#include <QMainWindow>

class Installer;
class ContentView;

// The one wizard window: the content view at 648 by 405 at least, under the
// menu bar.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(Installer &installer, QWidget *parent = nullptr);

    ContentView *contentView() const { return m_content; }

private:
    ContentView *m_content;
};
