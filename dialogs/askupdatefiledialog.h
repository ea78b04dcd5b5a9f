#pragma once

#include "app/core/settings.h"

#include <QList>
#include <QObject>
#include <QPointer>

class LibraryFile;

// Asks what to do with a downloaded file that the service has replaced: overwrite it, keep the
// old copy under an archive name, or leave it. Files that need the same question wait behind
// the one on screen. Drives the QML update-file dialog by name.
class AskUpdateFileDialog : public QObject
{
    Q_OBJECT
public:
    AskUpdateFileDialog(QObject *dialogItem, Settings *settings, QObject *parent = nullptr);
    ~AskUpdateFileDialog() override;

    // Puts the question for `file`, or queues it while another question is on screen.
    void ask(LibraryFile *file);

    bool isAsking() const { return !m_currentFile.isNull(); }
    int pendingCount() const { return m_pendingFiles.size(); }

private slots:
    void onClickCancel();
    void onClickRename();
    void onClickReplace();
    void onClosed();

private:
    void answer(Settings::UpdateBookPolicy choice);
    void askNext();
    void applyPolicy(Settings::UpdateBookPolicy policy);
    // The next waiting file that still exists and still has an update, or null.
    LibraryFile *takeNextPending();
    void closeDialog();

    QList<QPointer<LibraryFile>> m_pendingFiles;
    QPointer<LibraryFile> m_currentFile;
    QPointer<QObject> m_dialog;
    QPointer<Settings> m_settings;
};
