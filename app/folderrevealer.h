#pragma once

#include <QObject>
#include <QString>

// Shows a file in the desktop's file manager: selected there where the file manager takes the
// freedesktop ShowItems call on the session bus, else its folder opened by xdg-open.
class FolderRevealer : public QObject
{
    Q_OBJECT
public:
    explicit FolderRevealer(QObject *parent = nullptr);

    void show(const QString &path);

signals:
    // The file manager was asked; how, for whoever follows it: "selected" or "folder".
    void shown(const QString &how);
    // Neither way worked; the message is for the status bar.
    void failed(const QString &message);

private:
    void openFolder(const QString &path);
};
