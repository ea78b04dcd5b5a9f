#pragma once

#include <QStringList>

class CliServices;
class StopSignals;

// `download PRODUCT_ID [FILE_NAME] --dir DIR`: fetches one file of a product, or all of them,
// through the program's own LibraryFile, Downloader and DownloadManager. A stop request leaves
// the partial files in place. Returns the exit code.
int runDownloadCommand(CliServices *services, StopSignals *stopSignals, const QStringList &arguments,
                       const QString &dir);
