#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// Guards bulk downloads against a library folder without room for them. When the room is
// short it tells the user through the QML free-space dialog, which offers to try again.
class FreeSpaceWarningDialog : public QObject
{
    Q_OBJECT
public:
    // Bytes free to the user on the volume holding a path, -1 when that cannot be told.
    using VolumeQuery = std::function<qint64(const QString &path)>;

    FreeSpaceWarningDialog(QObject *dialogItem, QObject *parent = nullptr);
    ~FreeSpaceWarningDialog() override;

    // Runs `proceed` when the volume of `folder()` has more than `requiredBytes()` free, or when
    // its free space cannot be told. Otherwise opens the dialog: "Try again" checks once more
    // with the same three, measuring afresh; "Cancel" or closing the dialog runs `cancelled`. A new check
    // replaces one that waits on the dialog.
    void check(std::function<QString()> folder, std::function<qint64()> requiredBytes,
               std::function<void()> proceed, std::function<void()> cancelled = {});

    void setRequiredSpace(qint64 bytes);
    // -1 (an unavailable path) shows the unavailable-path message instead of the sizes.
    void setAvailableSpace(qint64 bytes);

    // Test seam; the default asks the file system.
    void setVolumeQuery(VolumeQuery query);
    static qint64 availableBytes(const QString &path);

    static QString formatSize(quint64 bytes);

signals:
    void cancel();
    void tryAgain();

private slots:
    void onCancel();
    void onTryAgain();
    void onClosed();

private:
    struct Check {
        std::function<QString()> folder;
        std::function<qint64()> requiredBytes;
        std::function<void()> proceed;
        std::function<void()> cancelled;
    };
    void run(const Check &check);

    QPointer<QObject> m_dialog;
    VolumeQuery m_volumeQuery;
    Check m_waiting;
};
