#include "engine/ElementOwners.h"

#include "engine/ProductNames.h"

#include <QHash>

namespace ElementOwners {

QString sharedNameProblem(const QStringList &elements)
{
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
