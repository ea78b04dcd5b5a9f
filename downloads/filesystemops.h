#pragma once

#include <QString>

// The few desktop services a library file needs from the platform: the recycle bin and the
// default viewer.
class FileSystemOps
{
public:
    // Moves the file to the user's recycle bin (the freedesktop trash on Linux). False when the
    // file does not exist or could not be moved.
    static bool moveToTrash(const QString &path);

    // Opens the file with the application the desktop associates with it.
    static bool openInDefaultViewer(const QString &path);
};
