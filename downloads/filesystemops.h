#pragma once

#include <QString>

#include <functional>

// The few desktop services a library file needs from the platform: the recycle bin, the
// default viewer and the file manager.
class FileSystemOps
{
public:
    // Moves the file to the user's recycle bin (the freedesktop trash on Linux). False when the
    // file does not exist or could not be moved.
    static bool moveToTrash(const QString &path);

    // Opens the file with the application the desktop associates with it, through the opener
    // the application installed; false without one (the core has no desktop of its own).
    static bool openInDefaultViewer(const QString &path);

    // The path itself when it exists, else its nearest existing ancestor; the home folder for
    // an empty path. A drive root such as "C:/" ends the walk even when the drive is missing.
    static QString lastExistingDir(const QString &path);

    // Shows the file or folder in the desktop's file manager, through the shower the
    // application installed; false without one.
    static bool showInFolder(const QString &path);

    using ViewerOpener = std::function<bool(const QString &path)>;
    static void setViewerOpener(ViewerOpener opener);
    static void setFolderShower(ViewerOpener shower);
};
