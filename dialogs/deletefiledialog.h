#pragma once

#include <QObject>
#include <QPointer>

class LibraryFile;

// Asks through the QML delete dialog whether a downloaded file may go. Only the file that asked
// last is deleted, once, and only when the customer confirms.
class DeleteFileDialog : public QObject
{
    Q_OBJECT
public:
    explicit DeleteFileDialog(QObject *dialogItem, QObject *parent = nullptr);

    // A new question replaces one still waiting: that file stays as it was.
    void ask(LibraryFile *file);

private slots:
    void onAccepted();
    void onRejected();
    void onClosed();

private:
    QPointer<QObject> m_dialog;
    QPointer<LibraryFile> m_waiting;
};
