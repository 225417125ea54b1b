#include "app/AppDelegate.h"

#include <QAction>
#include <QMenuBar>

void AppDelegate::applicationDidFinishLaunching(QMenuBar *mainMenu)
{
    if (!mainMenu)
        return;
    for (const char *title : {"File", "Edit", "View"}) {
        // Read afresh: the previous removal changed the list.
        const QList<QAction *> items = mainMenu->actions();
        for (QAction *item : items) {
            if (item->text() == QLatin1String(title)) {
                mainMenu->removeAction(item);
                break;
            }
        }
    }
}
