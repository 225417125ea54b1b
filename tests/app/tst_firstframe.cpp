// Work held back until a window's first frame: after its first paint, once,
// at the latest after the given time, and never for a window that has gone.
#include "app/FirstFrame.h"

#include <QEvent>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

class PaintCount : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestFirstFrame : public QObject
{
    Q_OBJECT

private slots:
    void runsOnceAfterTheFirstPaint_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("gone");
        QTest::addColumn<int>("latestMs");
        QTest::addColumn<int>("runs");
        // The deadline far enough off that a loaded machine paints first.
        QTest::newRow("shown window") << true << false << 1000 << 1;
        QTest::newRow("never painted: at the latest") << false << false << 100 << 1;
        QTest::newRow("window gone first") << false << true << 100 << 0;
    }
    void runsOnceAfterTheFirstPaint()
    {
        QFETCH(bool, shown);
        QFETCH(bool, gone);
        QFETCH(int, latestMs);
        QFETCH(int, runs);
        auto window = std::make_unique<QWidget>();
        window->resize(200, 100);
        PaintCount count;
        window->installEventFilter(&count);
        int ran = 0;
        int paintsBefore = -1;
        FirstFrame::after(
            *window,
            [&] {
                ++ran;
                paintsBefore = count.paints;
            },
            latestMs);
        if (shown)
            window->show();
        if (gone)
            window.reset();
        QCOMPARE(ran, 0);
        if (shown) {
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            QTRY_COMPARE(ran, 1);
            QVERIFY(paintsBefore > 0);
            // Neither a later paint nor the deadline runs it again.
            window->update();
        }
        QTest::qWait(latestMs + 200);
        QCOMPARE(ran, runs);
        if (runs && !shown)
            QCOMPARE(paintsBefore, 0);
    }
};

QTEST_MAIN(TestFirstFrame)
#include "tst_firstframe.moc"
