#include "app/MainWindow.h"

#include "ui/ContentView.h"

MainWindow::MainWindow(Installer &installer, QWidget *parent)
    : QMainWindow(parent), m_content(new ContentView(installer, this))
{
    m_content->setMinimumSize(648, 405);
    setCentralWidget(m_content);
    setWindowTitle(QString());
}
