#include "deletefiledialog.h"

#include "downloads/libraryfile.h"

#include <QDebug>

DeleteFileDialog::DeleteFileDialog(QObject *dialogItem, QObject *parent) : QObject(parent), m_dialog(dialogItem)
{
    if (!dialogItem) {
        qDebug().nospace() << "WARNING: " << "DeleteFileDialog: No dialog to ask with";
        return;
    }
    connect(dialogItem, SIGNAL(accepted()), this, SLOT(onAccepted()));
    connect(dialogItem, SIGNAL(rejected()), this, SLOT(onRejected()));
    // Escape and the close icon end the question without an answer. Queued: a popup without an
    // exit transition tells of its closing before the answer that closed it.
    connect(dialogItem, SIGNAL(closed()), this, SLOT(onClosed()), Qt::QueuedConnection);
}

void DeleteFileDialog::ask(LibraryFile *file)
{
    m_waiting = file;
    if (m_dialog && file)
        QMetaObject::invokeMethod(m_dialog, "open");
}

void DeleteFileDialog::onAccepted()
{
    const QPointer<LibraryFile> file = m_waiting;
    m_waiting.clear();
    if (file)
        file->deleteFile();
}

void DeleteFileDialog::onRejected()
{
    m_waiting.clear();
}

void DeleteFileDialog::onClosed()
{
    // A close that follows a new ask() for the reopened dialog must not drop that question.
    if (m_dialog && m_dialog->property("visible").toBool())
        return;
    m_waiting.clear();
}
