#include "app/settings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
        QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    }

    void clampsSimultaneousDownloads()
    {
        Settings settings;
        settings.setSimultaneousDownloads(0);
        QCOMPARE(settings.simultaneousDownloads(), 1);
        settings.setSimultaneousDownloads(9);
        QCOMPARE(settings.simultaneousDownloads(), 5);
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
