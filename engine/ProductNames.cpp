#include "engine/ProductNames.h"

#include <algorithm>

namespace ProductNames {

QString nameOf(const QString &folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

bool lessThan(const QString &a, const QString &b)
{
    // UTF-16 code units would put characters beyond the basic plane before
    // U+E000..U+FFFF; scalar values put them after.
    const QList<uint> left = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> right = b.normalized(QString::NormalizationForm_C).toUcs4();
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end());
}

QStringList selectedSorted(const ProductMap &products)
{
    QStringList names;
    for (auto it = products.cbegin(); it != products.cend(); ++it) {
        if (it.value())
            names.append(nameOf(it.key()));
    }
    std::stable_sort(names.begin(), names.end(), lessThan);
    return names;
}

QString productNamedIn(const QList<QPair<QString, QString>> &elementProducts,
                       const QString &command)
{
    for (const auto &[element, product] : elementProducts) {
        if (command.contains(QLatin1Char('/') + element + QLatin1Char('"')) ||
            command.contains(QLatin1Char('/') + element + QLatin1Char('/')))
            return product;
    }
    return QString();
}

} // namespace ProductNames
