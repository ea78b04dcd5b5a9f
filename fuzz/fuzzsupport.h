#pragma once

// Shared by the harnesses: a private application data folder and the checks on file paths.

#include <QByteArray>
#include <QString>

namespace FuzzSupport {

// Makes the Qt application object once and points the store at a fresh temporary folder.
void initialise(int *argc, char ***argv);
// Empties the store folder between inputs.
void resetStore();
QString scratchDir();
// Aborts with the message when the property does not hold.
void check(bool property, const char *what);
// True when path, cleaned, lies inside folder.
bool inside(const QString &path, const QString &folder);

} // namespace FuzzSupport
