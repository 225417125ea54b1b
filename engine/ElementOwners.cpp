#include "engine/ElementOwners.h"

#include "engine/ProductNames.h"

#include <QHash>

namespace {

// The element's own name and its product's folder, as views into `element`.
void split(const QString &element, QStringView &product, QStringView &name)
{
    QStringView path(element);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    name = slash < 0 ? path : path.sliced(slash + 1);
    product = QStringView(element).left(element.lastIndexOf(QLatin1Char('/')));
}

// Whether some name is held by two products. Thousands of elements are
// checked on every composition, nearly always without a clash, so this pass
// keeps views and allocates once; the account of a clash is made apart.
bool anyNameShared(const QStringList &elements)
{
    QHash<QStringView, QStringView> productOf;
    productOf.reserve(elements.size());
    for (const QString &element : elements) {
        QStringView product, name;
        split(element, product, name);
        const auto found = productOf.constFind(name);
        if (found == productOf.cend())
            productOf.insert(name, product);
        else if (*found != product)
            return true;
    }
    return false;
}

} // namespace

namespace ElementOwners {

QString sharedNameProblem(const QStringList &elements)
{
    if (!anyNameShared(elements))
        return QString();
    // element name -> the product folders holding it, in the order they come
    QHash<QString, QStringList> holders;
    QStringList names; // each element name once, as first met
    for (const QString &element : elements) {
        const QString name = ProductNames::nameOf(element);
        const QString product = element.left(element.lastIndexOf(QLatin1Char('/')));
        QStringList &products = holders[name];
        if (products.isEmpty())
            names.append(name);
        if (!products.contains(product))
            products.append(product);
    }
    for (const QString &name : names) {
        const QStringList &products = holders.value(name);
        if (products.size() < 2)
            continue;
        QStringList quoted;
        for (const QString &product : products)
            quoted.append(QLatin1Char('"') + ProductNames::nameOf(product) + QLatin1Char('"'));
        const QString last = quoted.takeLast();
        return QStringLiteral("The products %1 and %2 %3 hold an element folder named \"%4\"; "
                              "nothing was installed.")
            .arg(quoted.join(QStringLiteral(", ")), last,
                 products.size() == 2 ? QStringLiteral("both") : QStringLiteral("all"), name);
    }
    return QString();
}

} // namespace ElementOwners
