#pragma once

#include <QString>
#include <QStringList>

// The direct sub-folders of one folder, hidden ones included. An entry counts
// only when it is itself a folder: links to folders and plain files do not.
struct FolderListing
{
    bool ok = false;
    QString error;          // why the folder could not be listed
    QStringList subfolders; // absolute paths without a trailing "/", sorted
};

FolderListing listSubfolders(const QString &folder);
