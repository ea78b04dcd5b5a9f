#include "askupdatefiledialog.h"

#include "downloads/libraryfile.h"

#include <QDebug>
#include <QVariant>

AskUpdateFileDialog::AskUpdateFileDialog(QObject *dialogItem, Settings *settings, QObject *parent)
    : QObject(parent), m_dialog(dialogItem), m_settings(settings)
{
    if (!dialogItem) {
        qDebug().nospace() << "WARNING: " << "AskUpdateFileDialog: No dialog to ask with";
        return;
    }
    connect(dialogItem, SIGNAL(cancel()), this, SLOT(onClickCancel()));
    connect(dialogItem, SIGNAL(rename()), this, SLOT(onClickRename()));
    connect(dialogItem, SIGNAL(replace()), this, SLOT(onClickReplace()));
    connect(dialogItem, SIGNAL(closed()), this, SLOT(onClosed()));
}

AskUpdateFileDialog::~AskUpdateFileDialog() = default;

void AskUpdateFileDialog::ask(LibraryFile *file)
{
    if (!file)
        return;
    qDebug().nospace() << "INFO: " << "AskUpdateFileDialog: Ask for update of file: " << file->serverFileName();
    if (m_currentFile) {
        // Asking twice about one file would apply the answer twice.
        if (m_currentFile != file && !m_pendingFiles.contains(file))
            m_pendingFiles.append(file);
        return;
    }
    if (!m_dialog)
        return;
    const bool opening = !m_dialog->property("visible").toBool();
    m_currentFile = file;
    m_dialog->setProperty("text", tr("File \"%1\" is already in your library. Which would you like to do?")
                                      .arg(file->serverFileName()));
    // A choice remembered once is a policy now; a later question starts unticked.
    if (opening)
        m_dialog->setProperty("remember", false);
    QMetaObject::invokeMethod(m_dialog, "open");
}

void AskUpdateFileDialog::onClickRename()
{
    answer(Settings::RenameOldFiles);
}

void AskUpdateFileDialog::onClickReplace()
{
    answer(Settings::ReplaceOldFiles);
}

void AskUpdateFileDialog::answer(Settings::UpdateBookPolicy choice)
{
    const QPointer<LibraryFile> file = m_currentFile;
    m_currentFile.clear();
    if (file) {
        if (choice == Settings::RenameOldFiles)
            file->updateRename();
        else
            file->updateReplace();
    }
    if (m_dialog && m_dialog->property("remember").toBool())
        applyPolicy(choice);
    else
        askNext();
}

// "Do not update" concerns the file on screen only; the files waiting behind it were asked
// about as well, so they still get their question.
void AskUpdateFileDialog::onClickCancel()
{
    m_currentFile.clear();
    askNext();
}

// Closed by Escape or the close button: the user has dismissed the questions, and the waiting
// files keep their update for later. Our own close comes with nothing left to ask.
void AskUpdateFileDialog::onClosed()
{
    if (m_dialog && m_dialog->property("visible").toBool())
        return;   // reopened for a new question before the close arrived
    m_currentFile.clear();
    m_pendingFiles.clear();
}

void AskUpdateFileDialog::askNext()
{
    m_currentFile.clear();
    // The policy may have changed while files waited: a file handled without a question
    // leaves no question on screen, so move on until one is asked or none is left.
    while (LibraryFile *file = takeNextPending()) {
        file->updateDownload();
        if (m_currentFile)
            return;
    }
    closeDialog();
}

void AskUpdateFileDialog::applyPolicy(Settings::UpdateBookPolicy policy)
{
    if (m_settings) {
        m_settings->setUpdateBookPolicy(policy);
        m_settings->save();
    }
    while (LibraryFile *file = takeNextPending()) {
        if (policy == Settings::RenameOldFiles)
            file->updateRename();
        else
            file->updateReplace();
    }
    closeDialog();
}

LibraryFile *AskUpdateFileDialog::takeNextPending()
{
    while (!m_pendingFiles.isEmpty()) {
        LibraryFile *file = m_pendingFiles.takeFirst();
        if (file && file->status() == LibraryFile::UpdateAvailable)
            return file;
    }
    return nullptr;
}

void AskUpdateFileDialog::closeDialog()
{
    if (m_dialog)
        QMetaObject::invokeMethod(m_dialog, "close");
}
