#include "app/MainWindow.h"

#include "ui/ContentView.h"

MainWindow::MainWindow(Installer &installer, QWidget *parent)
    : QMainWindow(parent), m_content(new ContentView(installer, this))
{
    // The content's own minimum (648 by 405, more for larger text) holds the
    // window: it grows rather than cut text off.
    m_content->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCentralWidget(m_content);
    setWindowTitle(QString());
}
