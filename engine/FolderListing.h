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
    // Sub-folders whose names are not UTF-8, with each bad byte shown as \xNN.
    // They are left out of `subfolders`: decoded, they would name no folder.
    QStringList undecodable;
};

FolderListing listSubfolders(const QString &folder);
