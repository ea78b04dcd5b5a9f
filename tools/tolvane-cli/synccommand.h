#pragma once

#include <QString>

class CliServices;

// `sync --dir DIR`: what "Download all" does in the program, with the program's saved library:
// refresh, then fetch every file not yet downloaded. Prints "refreshed N" once the refreshed
// library is known and "downloaded PRODUCT_ID FILE_NAME" per finished file. Returns the exit code.
int runSyncCommand(CliServices *services, const QString &dir);

// `library`: loads the saved library as the program does at start and prints one line per file:
// product ID, file name and status, separated by tabs.
int runLibraryCommand();
