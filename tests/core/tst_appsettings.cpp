#include "core/AppSettings.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(Page)

class TestAppSettings : public QObject
{
    Q_OBJECT

private:
    // Puts a fresh state object on the given page through the public flow.
    static void walkTo(AppSettings &s, Page page, bool agreed)
    {
        if (page == Page::intro)
            return;
        s.nextAction();
        if (page == Page::license) {
            if (agreed)
                s.setAgreeWithTerms(true);
            return;
        }
        s.agreeWithLicense();
        if (page == Page::summary)
            s.setCurrentPage(Page::summary);
    }

private slots:
    void initialState()
    {
        AppSettings s;
        QCOMPARE(s.currentPage(), Page::intro);
        QVERIFY(s.products().isEmpty());
        QCOMPARE(s.accessType(), FinderAccess::unknown);
        QVERIFY(!s.agreeWithTerms());
        QVERIFY(!s.showLicenseAlert());
        QVERIFY(!s.showPermanentlyAlert());
        QVERIFY(!s.showFinderAlert());
        QVERIFY(!s.completedWithErrors());
        QVERIFY(!s.showLogDetailsWindow());
        QVERIFY(s.logDetailsStr().isEmpty());
        QCOMPARE(s.pasteboard(), QGuiApplication::clipboard());
    }

    void nextAction_data()
    {
        QTest::addColumn<Page>("from");
        QTest::addColumn<bool>("agreed");
        QTest::addColumn<Page>("to");
        QTest::addColumn<bool>("licenseAlert");
        QTest::addColumn<bool>("installAlert");
        QTest::addColumn<bool>("terminates");
        QTest::newRow("intro") << Page::intro << false << Page::license << false << false << false;
        QTest::newRow("license, not agreed")
            << Page::license << false << Page::license << true << false << false;
        QTest::newRow("license, agreed")
            << Page::license << true << Page::install << false << false << false;
        QTest::newRow("install") << Page::install << true << Page::install << false << true
                                 << false;
        QTest::newRow("summary") << Page::summary << true << Page::summary << false << false
                                 << true;
    }
    void nextAction()
    {
        QFETCH(Page, from);
        QFETCH(bool, agreed);
        QFETCH(Page, to);
        QFETCH(bool, licenseAlert);
        QFETCH(bool, installAlert);
        QFETCH(bool, terminates);

        AppSettings s;
        walkTo(s, from, agreed);
        QCOMPARE(s.currentPage(), from);
        QSignalSpy terminate(&s, &AppSettings::terminateRequested);
        QSignalSpy changes(&s, &AppSettings::objectWillChange);

        s.nextAction();
        QCOMPARE(s.currentPage(), to);
        QCOMPARE(s.showLicenseAlert(), licenseAlert);
        QCOMPARE(s.showPermanentlyAlert(), installAlert);
        QCOMPARE(terminate.count(), terminates ? 1 : 0);
        // Ending the application touches no state.
        if (terminates)
            QCOMPARE(changes.count(), 0);
    }

    void repeatedNextNeverLeavesAStoppingPage_data()
    {
        QTest::addColumn<Page>("page");
        QTest::newRow("license without agreement") << Page::license;
        QTest::newRow("install") << Page::install;
    }
    void repeatedNextNeverLeavesAStoppingPage()
    {
        QFETCH(Page, page);
        AppSettings s;
        walkTo(s, page, false);
        for (int press = 0; press < 5; ++press)
            s.nextAction();
        QCOMPARE(s.currentPage(), page);
        QCOMPARE(s.showLicenseAlert(), page == Page::license);
        QCOMPARE(s.showPermanentlyAlert(), page == Page::install);
    }

    void agreeWithLicenseMovesOnAndStays()
    {
        AppSettings s;
        walkTo(s, Page::license, false);
        s.nextAction();
        QVERIFY(s.showLicenseAlert());
        s.agreeWithLicense();
        QCOMPARE(s.currentPage(), Page::install);
        QVERIFY(s.agreeWithTerms());

        // Agreement is remembered: back to the licence and forward skips the alert.
        s.setShowLicenseAlert(false);
        s.goBack();
        QCOMPARE(s.currentPage(), Page::license);
        s.nextAction();
        QCOMPARE(s.currentPage(), Page::install);
        QVERIFY(!s.showLicenseAlert());
    }

    void agreeWithLicenseOnSummaryStaysInside()
    {
        AppSettings s;
        walkTo(s, Page::summary, true);
        s.agreeWithLicense();
        QCOMPARE(s.currentPage(), Page::summary);
        QVERIFY(s.agreeWithTerms());
    }

    void goBack_data()
    {
        QTest::addColumn<Page>("from");
        QTest::addColumn<Page>("to");
        QTest::newRow("intro stays") << Page::intro << Page::intro;
        QTest::newRow("license") << Page::license << Page::intro;
        QTest::newRow("install") << Page::install << Page::license;
    }
    void goBack()
    {
        QFETCH(Page, from);
        QFETCH(Page, to);
        AppSettings s;
        walkTo(s, from, true);
        s.goBack();
        QCOMPARE(s.currentPage(), to);
    }

    void everyPublishedWriteNotifiesBeforeStoring()
    {
        AppSettings s;
        QList<Page> seenDuringNotification;
        connect(&s, &AppSettings::objectWillChange, &s,
                [&] { seenDuringNotification.append(s.currentPage()); });
        s.setCurrentPage(Page::license);
        s.setCurrentPage(Page::license); // same value: still announced
        QCOMPARE(seenDuringNotification, (QList<Page>{Page::intro, Page::license}));

        QSignalSpy spy(&s, &AppSettings::objectWillChange);
        s.setProducts({});
        s.setAccessType(FinderAccess::unknown);
        s.setAgreeWithTerms(false);
        s.setShowLicenseAlert(false);
        s.setShowPermanentlyAlert(false);
        s.setShowFinderAlert(false);
        s.setCompletedWithErrors(false);
        s.setShowLogDetailsWindow(false);
        QCOMPARE(spy.count(), 8);

        s.setLogDetailsStr(QStringLiteral("plain field"));
        QCOMPARE(spy.count(), 8);
        QCOMPARE(s.logDetailsStr(), QStringLiteral("plain field"));
    }

    void pageRawValues_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("expected"); // -1: no page
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("3") << 3 << 3;
        QTest::newRow("4") << 4 << -1;
        QTest::newRow("-1") << -1 << -1;
        QTest::newRow("2") << 2 << 2;
        QTest::newRow("int max") << std::numeric_limits<int>::max() << -1;
        QTest::newRow("int min") << std::numeric_limits<int>::min() << -1;
    }
    void pageRawValues()
    {
        QFETCH(int, raw);
        QFETCH(int, expected);
        const std::optional<Page> page = PageInfo::fromRawValue(raw);
        QCOMPARE(page.has_value(), expected >= 0);
        if (page)
            QCOMPARE(PageInfo::rawValue(*page), expected);
    }

    void pageOrder()
    {
        QList<int> raws;
        for (Page page : PageInfo::allCases)
            raws.append(PageInfo::rawValue(page));
        QCOMPARE(raws, (QList<int>{0, 1, 2, 3}));
    }

    void finderAccessRawValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("expected"); // -1: no value, else the enumerator
        QTest::newRow("1") << "1" << int(FinderAccess::allowed);
        QTest::newRow("0") << "0" << int(FinderAccess::denied);
        QTest::newRow("-1") << "-1" << int(FinderAccess::unknown);
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("blank around") << " 1 " << -1;
        QTest::newRow("trailing line feed") << "1\n" << -1;
        QTest::newRow("leading zero") << "01" << -1;
        QTest::newRow("word") << "allowed" << -1;
    }
    void finderAccessRawValues()
    {
        QFETCH(QString, raw);
        QFETCH(int, expected);
        const std::optional<FinderAccess> access = FinderAccessInfo::fromRawValue(raw);
        QCOMPARE(access.has_value(), expected >= 0);
        if (access) {
            QCOMPARE(int(*access), expected);
            QCOMPARE(FinderAccessInfo::rawValue(*access), raw);
        }
    }
};

QTEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
