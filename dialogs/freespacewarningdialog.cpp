#include "freespacewarningdialog.h"

#include <QDebug>
#include <QLocale>
#include <QVariant>

#include <utility>

FreeSpaceWarningDialog::FreeSpaceWarningDialog(QObject *dialogItem, QObject *parent)
    : QObject(parent), m_dialog(dialogItem)
{
    if (!dialogItem) {
        qDebug().nospace() << "WARNING: " << "FreeSpaceWarningDialog: No dialog to warn with";
        return;
    }
    connect(dialogItem, SIGNAL(cancel()), this, SLOT(onCancel()));
    connect(dialogItem, SIGNAL(tryAgain()), this, SLOT(onTryAgain()));
    if (dialogItem->metaObject()->indexOfSignal("closed()") != -1)
        connect(dialogItem, SIGNAL(closed()), this, SLOT(onClosed()));
}

FreeSpaceWarningDialog::~FreeSpaceWarningDialog() = default;

void FreeSpaceWarningDialog::ask(qint64 requiredBytes, qint64 availableBytes, std::function<void()> retry,
                                 std::function<void()> cancelled)
{
    m_waiting = {};
    if (!m_dialog) {
        if (cancelled)
            cancelled();
        return;
    }
    m_waiting = {std::move(retry), std::move(cancelled)};
    setRequiredSpace(requiredBytes);
    setAvailableSpace(availableBytes);
    QMetaObject::invokeMethod(m_dialog, "open");
}

void FreeSpaceWarningDialog::setRequiredSpace(qint64 bytes)
{
    if (m_dialog)
        m_dialog->setProperty("requiredSpace", formatSize(quint64(qMax<qint64>(bytes, 0))));
}

void FreeSpaceWarningDialog::setAvailableSpace(qint64 bytes)
{
    if (!m_dialog)
        return;
    m_dialog->setProperty("pathUnavailable", bytes == -1);
    if (bytes != -1)
        m_dialog->setProperty("availableSpace", formatSize(quint64(qMax<qint64>(bytes, 0))));
}

QString FreeSpaceWarningDialog::formatSize(quint64 bytes)
{
    // Whole numbers in the default locale's digits, never grouped.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const auto whole = [bytes, &locale](double unit) { return locale.toString(double(bytes) / unit, 'f', 0); };
    if (bytes < 1024)
        return tr("%1 B").arg(whole(1.0));
    if (bytes < 1048576)
        return tr("%1 kB").arg(whole(1024.0));
    if (bytes < 1073741824)
        return tr("%1 MB").arg(whole(1048576.0));
    return tr("%1 GB").arg(whole(1073741824.0));
}

void FreeSpaceWarningDialog::onCancel()
{
    const Answers dropped = std::exchange(m_waiting, {});
    emit cancel();
    if (m_dialog)
        QMetaObject::invokeMethod(m_dialog, "close");
    if (dropped.cancelled)
        dropped.cancelled();
}

// Escape or the close button: the same as Cancel. A close that came with an answer finds
// nothing waiting, or the dialog open again for the next check.
void FreeSpaceWarningDialog::onClosed()
{
    if (!m_waiting.retry || (m_dialog && m_dialog->property("visible").toBool()))
        return;
    const Answers dropped = std::exchange(m_waiting, {});
    emit cancel();
    if (dropped.cancelled)
        dropped.cancelled();
}

void FreeSpaceWarningDialog::onTryAgain()
{
    const Answers again = std::exchange(m_waiting, {});
    if (m_dialog)
        QMetaObject::invokeMethod(m_dialog, "close");
    emit tryAgain();
    if (again.retry)
        again.retry();
}
