// Product names for the list: taken from folder paths, ordered by scalar values.
#include "engine/ProductNames.h"

#include <QTest>

class TestProductNames : public QObject
{
    Q_OBJECT

private slots:
    void nameOf_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "/res/Products/Calmfield 6"
                               << "Calmfield 6";
        QTest::newRow("trailing separator") << "/res/Products/Velamorph 4/"
                                            << "Velamorph 4";
        QTest::newRow("no escapes") << "/res/Products/Caf\u00e9 %20 \"x\""
                                    << "Caf\u00e9 %20 \"x\"";
        QTest::newRow("bare name") << "alpha"
                                   << "alpha";
    }
    void nameOf()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QCOMPARE(ProductNames::nameOf(folder), name);
    }

    void order_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("upper case first")
            << QStringList{"gamma", "Beta", "alpha"} << QStringList{"Beta", "alpha", "gamma"};
        QTest::newRow("prefix first") << QStringList{"Calmfield 6 Video", "Calmfield 6"}
                                      << QStringList{"Calmfield 6", "Calmfield 6 Video"};
        // U+FF21 (fullwidth A) is below U+1F600 as a scalar value, but its
        // UTF-16 unit is above the surrogates that encode U+1F600.
        QTest::newRow("beyond the basic plane")
            << QStringList{"\uFF21", QString::fromUcs4(U"\U0001F600")}
            << QStringList{"\uFF21", QString::fromUcs4(U"\U0001F600")};
        // e + combining acute and the composed é are the same name: the sort
        // keeps their order either way, and both come after every ASCII letter.
        QTest::newRow("canonically equal, stable")
            << QStringList{"f", "e\u0301 x", "\u00e9 x", "e"}
            << QStringList{"e", "f", "e\u0301 x", "\u00e9 x"};
        QTest::newRow("canonically equal, stable, swapped")
            << QStringList{"\u00e9 x", "e\u0301 x"} << QStringList{"\u00e9 x", "e\u0301 x"};
    }
    void order()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        ProductMap products;
        QStringList paths;
        for (int i = 0; i < names.size(); ++i) {
            // Keys whose map order differs from the name order.
            const QString path = QStringLiteral("/p%1/").arg(names.size() - i) + names[i];
            products.insert(path, true);
        }
        QStringList keyed;
        for (auto it = products.cbegin(); it != products.cend(); ++it)
            keyed << ProductNames::nameOf(it.key());
        QStringList expected = keyed;
        std::stable_sort(expected.begin(), expected.end(), ProductNames::lessThan);
        QCOMPARE(ProductNames::selectedSorted(products), expected);

        QStringList byUs = names;
        std::stable_sort(byUs.begin(), byUs.end(), ProductNames::lessThan);
        QCOMPARE(byUs, sorted);
    }

    void equalUnderComposition()
    {
        QVERIFY(!ProductNames::lessThan("e\u0301", "\u00e9"));
        QVERIFY(!ProductNames::lessThan("\u00e9", "e\u0301"));
        QVERIFY(ProductNames::lessThan("Z", "a"));
    }

    void unselectedLeftOut()
    {
        const ProductMap products{{"/r/gamma", true}, {"/r/Beta", false}, {"/r/alpha", true}};
        QCOMPARE(ProductNames::selectedSorted(products), (QStringList{"alpha", "gamma"}));
        QCOMPARE(ProductNames::selectedSorted({}), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestProductNames)
#include "tst_productnames.moc"
