#include "fuzzsupport.h"

#include "library/libraryitem.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *g_scratch = nullptr;

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// A badge that expires between a save and its reload would read as a changed row.
QDateTime fixedNow()
{
    return QDateTime(QDate(2026, 12, 1), QTime(12, 0), Qt::UTC);
}

} // namespace

namespace FuzzSupport {

void initialise(int *argc, char ***argv)
{
    static QCoreApplication *app = nullptr;
    if (app)
        return;
    app = new QCoreApplication(*argc, *argv);
    g_scratch = new QTemporaryDir;
    qputenv("XDG_DATA_HOME", g_scratch->path().toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    // Warnings about damaged input are expected by the thousand.
    qInstallMessageHandler(quiet);
    LibraryItem::setClock(fixedNow);
}

QString scratchDir()
{
    return g_scratch->path();
}

void resetStore()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void check(bool property, const char *what)
{
    if (property)
        return;
    std::fprintf(stderr, "PROPERTY FAILED: %s\n", what);
    std::abort();
}

bool inside(const QString &path, const QString &folder)
{
    const QString cleaned = QDir::cleanPath(path);
    const QString root = QDir::cleanPath(folder) + QLatin1Char('/');
    return cleaned.startsWith(root) && !cleaned.contains(QLatin1String("/../"));
}

} // namespace FuzzSupport
