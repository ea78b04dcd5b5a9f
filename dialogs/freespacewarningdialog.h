#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// Tells the user through the QML free-space dialog that the library folder has no room for a
// bulk download, and offers to try again. Measuring the room is the caller's business.
class FreeSpaceWarningDialog : public QObject
{
    Q_OBJECT
public:
    FreeSpaceWarningDialog(QObject *dialogItem, QObject *parent = nullptr);
    ~FreeSpaceWarningDialog() override;

    // Opens the dialog with both sizes: "Try again" runs `retry`, "Cancel" or closing the
    // dialog runs `cancelled`. A new question replaces one still waiting.
    void ask(qint64 requiredBytes, qint64 availableBytes, std::function<void()> retry,
             std::function<void()> cancelled = {});

    void setRequiredSpace(qint64 bytes);
    // -1 (an unavailable path) shows the unavailable-path message instead of the sizes.
    void setAvailableSpace(qint64 bytes);

    static QString formatSize(quint64 bytes);

signals:
    void cancel();
    void tryAgain();

private slots:
    void onCancel();
    void onTryAgain();
    void onClosed();

private:
    struct Answers {
        std::function<void()> retry;
        std::function<void()> cancelled;
    };

    QPointer<QObject> m_dialog;
    Answers m_waiting;
};
