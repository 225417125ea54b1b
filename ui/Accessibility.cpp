#include "ui/Accessibility.h"

#include "ui/AlertView.h"
#include "ui/ContentView.h"
#include "ui/OverlayPanel.h"
#include "ui/PageRow.h"

#include <QAccessibleWidget>

namespace {

class PageRowInterface : public QAccessibleWidget
{
public:
    explicit PageRowInterface(PageRow *row) : QAccessibleWidget(row, QAccessible::ListItem) {}

    PageRow *row() const { return static_cast<PageRow *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return row()->title();
        if (t == QAccessible::Description)
            return row()->stepDescription();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = row()->isCurrent();
        return s;
    }
    // The marker and the title label are the row itself, not parts of it.
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
};

class DialogInterface : public QAccessibleWidget
{
public:
    explicit DialogInterface(QWidget *panel) : QAccessibleWidget(panel, QAccessible::Dialog) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.modal = true;
        return s;
    }
};

// While an overlay shows, the page under it is not there for assistive tools:
// the window's content offers the overlay alone.
class ContentInterface : public QAccessibleWidget
{
public:
    explicit ContentInterface(ContentView *view) : QAccessibleWidget(view, QAccessible::Pane) {}

    ContentView *view() const { return static_cast<ContentView *>(widget()); }
    bool covered() const { return view()->alertView()->isVisible(); }

    int childCount() const override { return covered() ? 1 : QAccessibleWidget::childCount(); }
    QAccessibleInterface *child(int index) const override
    {
        if (!covered())
            return QAccessibleWidget::child(index);
        return index == 0 ? QAccessible::queryAccessibleInterface(view()->alertView()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!covered())
            return QAccessibleWidget::indexOfChild(child);
        return child && child->object() == view()->alertView() ? 0 : -1;
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("PageRow"))
        return new PageRowInterface(static_cast<PageRow *>(widget));
    if (className == QLatin1String("OverlayPanel"))
        return new DialogInterface(widget);
    if (className == QLatin1String("ContentView"))
        return new ContentInterface(static_cast<ContentView *>(widget));
    if (className == QLatin1String("QWidget") && widget->objectName() == QLatin1String("pageList"))
        return new QAccessibleWidget(widget, QAccessible::List);
    return nullptr;
}

} // namespace

void Accessibility::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}
