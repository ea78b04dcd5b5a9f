#include "app/core/settings.h"
#include "dialogs/askupdatefiledialog.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"
#include "downloadsfixture.h"

#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

#include <memory>

namespace {

// The interface of the update-file dialog view, as native code drives it.
const QByteArray kDialogQml = R"(
import QtQuick 2.13
Item {
    visible: false
    property string text
    property bool remember: false
    property int opens: 0
    signal cancel()
    signal rename()
    signal replace()
    signal closed()
    function open() { opens += 1; visible = true }
    function close() { if (visible) { visible = false; closed() } }
}
)";

// The controller's part: a file's question reaches the one update-file dialog.
class RoutingServices : public TestServices
{
public:
    void askUpdateFile(LibraryFile *file) override
    {
        TestServices::askUpdateFile(file);
        if (dialog)
            dialog->ask(file);
    }
    AskUpdateFileDialog *dialog = nullptr;
};

QString questionFor(const QString &name)
{
    return QStringLiteral("File \"%1\" is already in your library. Which would you like to do?").arg(name);
}

} // namespace

class TestAskUpdateFileDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_fixture.setUpOnce()); }
    void init()
    {
        QVERIFY(m_fixture.setUp());
        QQmlComponent component(&m_engine);
        component.setData(kDialogQml, QUrl());
        m_item.reset(component.create());
        QVERIFY2(m_item, qPrintable(component.errorString()));
        m_services = std::make_unique<RoutingServices>();
        m_services->api = m_fixture.services->remoteAPI();
        m_services->settingsObject = m_fixture.settings.get();
        m_services->manager = m_fixture.manager.get();
        m_fixture.settings->setUpdateBookPolicy(Settings::AskEachTime);
        m_fixture.settings->save();
        m_dialog = std::make_unique<AskUpdateFileDialog>(m_item.get(), m_fixture.settings.get());
        m_services->dialog = m_dialog.get();
        m_libraryItem = std::make_unique<LibraryItem>(m_services->fileActions());
        m_libraryItem->setPublisher("Pub");
        m_libraryItem->setTitle("Title");
        m_libraryItem->setProductId("4711");
    }

    void cleanup()
    {
        m_dialog.reset();
        qDeleteAll(m_files);
        m_files.clear();
        m_libraryItem.reset();
        m_services.reset();
        m_item.reset();
        m_fixture.tearDown();
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<int>("policy");
        QTest::addColumn<QStringList>("left");
        // The old copies stay until their new versions have verified.
        QTest::newRow("replace, each in turn") << QByteArray("replace") << false << int(Settings::AskEachTime)
                                               << QStringList{"a.pdf", "b.pdf", "c.pdf"};
        QTest::newRow("rename, remembered") << QByteArray("rename") << true << int(Settings::RenameOldFiles)
                                            << QStringList{"a.old-001.pdf", "b.old-001.pdf", "c.old-001.pdf"};
    }

    // One dialog asks about each file in turn; a remembered answer handles the rest unasked.
    void answers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, remember);
        QFETCH(int, policy);
        QFETCH(QStringList, left);
        const QStringList names{"a.pdf", "b.pdf", "c.pdf"};
        for (const QString &name : names)
            updatedFile(name)->updateDownload();
        QCOMPARE(m_item->property("opens").toInt(), 1);
        m_item->setProperty("remember", remember);
        for (int i = 0; i < (remember ? 1 : names.size()); ++i) {
            QVERIFY(shown());
            QCOMPARE(text(), questionFor(names.at(i)));
            press(answer.constData());
        }

        if (remember)
            QCOMPARE(m_services->updateQuestions.size(), 3);   // asked once each, none again
        QVERIFY(!shown());
        // Handed to the download manager, which may already have started it.
        for (LibraryFile *file : qAsConst(m_files))
            QVERIFY(file->status() == LibraryFile::Queued || file->status() == LibraryFile::Downloading);
        QCOMPARE(productFiles(), left);
        QCOMPARE(int(Settings().updateBookPolicy()), policy);   // saved, not just set

        // With the policy back at asking, a new question starts unticked.
        m_fixture.settings->setUpdateBookPolicy(Settings::AskEachTime);
        m_dialog->ask(updatedFile("d.pdf"));
        QVERIFY(shown());
        QVERIFY(!m_item->property("remember").toBool());
    }

    // "Do not update" is about the file on screen alone; Escape dismisses every waiting file
    // until the user asks again. A waiting file deleted meanwhile is never asked about.
    void doNotUpdateMovesOnEscapeDismissesAll()
    {
        for (const char *name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf"})
            updatedFile(name)->updateDownload();
        delete m_files.takeAt(1);

        press("cancel");
        QVERIFY(shown());
        QCOMPARE(text(), questionFor("c.pdf"));

        QVERIFY(QMetaObject::invokeMethod(m_item.get(), "close"));   // Escape
        QVERIFY(!m_dialog->isAsking());
        QCOMPARE(m_dialog->pendingCount(), 0);
        for (LibraryFile *file : qAsConst(m_files))
            QCOMPARE(file->status(), LibraryFile::UpdateAvailable);
        QCOMPARE(productFiles(), (QStringList{"a.pdf", "b.pdf", "c.pdf", "d.pdf"}));

        m_files.at(2)->updateDownload();
        QVERIFY(shown());
        QCOMPARE(text(), questionFor("d.pdf"));
        // Four first asks, c.pdf once more as the dialog moved on, d.pdf asked again.
        QCOMPARE(m_services->updateQuestions.size(), 6);
    }

private:
    LibraryFile *updatedFile(const QString &name)
    {
        auto *file = new LibraryFile(m_libraryItem.get(), m_services->fileActions());
        file->setServerFileName(name);
        file->setLocalDir(m_fixture.libraryPath());
        DownloadsFixture::writeFile(file->downloadPath(), "old version");
        m_fixture.manager->setFileStatus(file, LibraryFile::UpdateAvailable);
        m_files.append(file);
        return file;
    }

    void press(const char *signal) { QVERIFY(QMetaObject::invokeMethod(m_item.get(), signal)); }
    QString text() const { return m_item->property("text").toString(); }
    bool shown() const { return m_item->property("visible").toBool(); }
    QStringList productFiles() const
    {
        return QDir(m_fixture.libraryPath() + "/Pub/Title").entryList(QDir::Files, QDir::Name);
    }

    DownloadsFixture m_fixture;
    QQmlEngine m_engine;
    std::unique_ptr<QObject> m_item;
    std::unique_ptr<RoutingServices> m_services;
    std::unique_ptr<AskUpdateFileDialog> m_dialog;
    std::unique_ptr<LibraryItem> m_libraryItem;
    QList<LibraryFile *> m_files;
};

QTEST_MAIN(TestAskUpdateFileDialog)
#include "tst_askupdatefiledialog.moc"
