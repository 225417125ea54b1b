// The operations of AppSettings that find the products in the bundle.
#include "core/AppSettings.h"
#include "core/Diagnostics.h"
#include "engine/FolderListing.h"
#include "engine/Resources.h"

QString AppSettings::resourcesFolder() const
{
    return m_resourcesFolder.isEmpty() ? bundleResourcesFolder() : m_resourcesFolder;
}

ProductMap AppSettings::productsToInstall() const
{
    ProductMap products;
    const QString resources = resourcesFolder();
    if (resources.isEmpty()) {
        printDiagnostic(
            QStringLiteral("Fail__ The application's resources folder could not be found."));
        return products;
    }
    const FolderListing listing = listSubfolders(resources + QStringLiteral("/Products"));
    if (!listing.ok) {
        printDiagnostic(QStringLiteral("Fail__ ") + listing.error);
        return products;
    }
    for (const QString &folder : listing.subfolders)
        products.insert(folder, true);
    return products;
}
