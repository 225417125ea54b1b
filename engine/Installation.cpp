// The operations of AppSettings that decide what is installed and start the install.
#include "core/AppSettings.h"
#include "core/Diagnostics.h"
#include "engine/FolderListing.h"
#include "engine/InstallScriptComposer.h"
#include "engine/Product.h"

QStringList AppSettings::elementsToCopy() const
{
    QStringList elements;
    for (auto it = m_products.cbegin(); it != m_products.cend(); ++it) {
        if (!it.value())
            continue;
        const FolderListing listing = listSubfolders(it.key());
        if (!listing.ok) {
            printDiagnostic(QStringLiteral("Fail__ ") + listing.error);
            continue;
        }
        // The listing gives plain paths without a trailing "/".
        elements.append(listing.subfolders);
    }
    return elements;
}

QString AppSettings::composeInstallScript() const
{
    const InstallLocations locations{Product::appQuorvantic(), Product::appSuppQuorvantic(),
                                     Product::appSuppQuorvanticVideo(), Product::userAppSuppLR()};
    return InstallScriptComposer::compose(elementsToCopy(), locations, ShellDialect::gnu);
}

void AppSettings::installSelectedProducts()
{
    const QString script = composeInstallScript();
    printDiagnostic(QStringLiteral("SCRIPT -- ") + script);
    performScript(script);
}
