#include "app/MainWindow.h"

#include "ui/ContentView.h"

MainWindow::MainWindow(AppSettings &settings, QWidget *parent)
    : QMainWindow(parent), m_content(new ContentView(settings, this))
{
    m_content->setMinimumSize(648, 405);
    setCentralWidget(m_content);
    setWindowTitle(QString());
}
