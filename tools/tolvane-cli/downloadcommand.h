#pragma once

#include <QStringList>

class CliServices;

// `download PRODUCT_ID [FILE_NAME] --dir DIR`: fetches one file of a product, or all of them,
// through the program's own LibraryFile, Downloader and DownloadManager. Returns the exit code.
int runDownloadCommand(CliServices *services, const QStringList &arguments, const QString &dir);
