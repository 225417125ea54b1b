#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// A resources folder in a temporary folder with a "Products" folder holding
// one element folder per product given.
class DemoResources
{
public:
    explicit DemoResources(const QStringList &products)
    {
        for (const QString &product : products) {
            const QString element = path() + QStringLiteral("/Products/") + product +
                                    QStringLiteral("/") + product + QStringLiteral(" Plugin");
            m_ok = m_ok && QDir().mkpath(element);
            QFile file(element + QStringLiteral("/plugin.bin"));
            m_ok = m_ok && file.open(QIODevice::WriteOnly) && file.write("x") == 1;
        }
    }
    bool ok() const { return m_ok && m_dir.isValid(); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_ok = true;
};
