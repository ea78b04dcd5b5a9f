#include "folderrevealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString kInterface = QStringLiteral("org.freedesktop.FileManager1");
// A file manager that is started for the call may take a while to answer.
constexpr int kCallTimeoutMs = 10000;

} // namespace

FolderRevealer::FolderRevealer(QObject *parent) : QObject(parent) {}

void FolderRevealer::show(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        emit failed(tr("\"%1\" is no longer on the disk.").arg(info.fileName()));
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, path] {
        watcher->deleteLater();
        const QDBusPendingReply<> reply = *watcher;
        if (reply.isError()) {
            qDebug().nospace() << "INFO: FolderRevealer: No file manager on the bus: " << reply.error().name();
            openFolder(path);
            return;
        }
        emit shown(QStringLiteral("selected"));
    });
}

// xdg-open tells by its exit code whether a program took the folder.
void FolderRevealer::openFolder(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QString message = tr("The folder of \"%1\" could not be opened.").arg(info.fileName());
    auto *opener = new QProcess(this);
    connect(opener, &QProcess::errorOccurred, this, [this, opener, message](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qDebug().nospace() << "WARNING: " << "FolderRevealer: xdg-open could not be started";
        emit failed(message);
        opener->deleteLater();
    });
    connect(opener, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, opener, message](int code, QProcess::ExitStatus status) {
                opener->deleteLater();
                if (status != QProcess::NormalExit || code != 0) {
                    qDebug().nospace() << "WARNING: " << "FolderRevealer: xdg-open failed with " << code;
                    emit failed(message);
                    return;
                }
                emit shown(QStringLiteral("folder"));
            });
    opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->start(QStringLiteral("xdg-open"), {folder});
}
