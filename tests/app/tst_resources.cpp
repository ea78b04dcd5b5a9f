#include "../library/libraryfixtures.h"

#include "app/translations.h"
#include "dialogs/freespacewarningdialog.h"
#include "downloads/idlefileactions.h"
#include "downloads/transfertext.h"
#include "library/libraryitem.h"

#include <QDirIterator>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kSourceRoot = QStringLiteral(TESTS_SOURCE_DIR "/..");

// Every entry of a catalogue that a customer would see in English: "context: source (state)".
QStringList unfinishedEntries(const QString &tsPath)
{
    QFile file(tsPath);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + tsPath};
    QStringList found;
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    // readNextStartElement() would read on past the end of the document and call it premature.
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (!type.isEmpty() || text.trimmed().isEmpty())
                found << context + QStringLiteral(": ") + source + QStringLiteral(" (") + (type.isEmpty() ? QStringLiteral("empty") : type) + QLatin1Char(')');
        }
    }
    if (xml.hasError())
        found << tsPath + QStringLiteral(": ") + xml.errorString();
    return found;
}

QStringList filesUnder(const QString &root, const QStringList &nameFilters)
{
    QStringList files;
    QDirIterator it(root, nameFilters, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// Every resource path of our bundles that appears in the file.
QSet<QString> referencedResources(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral("(?:qrc)?:/+((?:icons|logos|fonts)/[^\"'\\s)]+)"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QSet<QString> names;
    auto it = pattern.globalMatch(QString::fromUtf8(file.readAll()));
    while (it.hasNext())
        names.insert(QStringLiteral(":/") + it.next().captured(1));
    return names;
}

// Read at a small size: a colour lost in a drawing leaves an image that loads but shows nothing.
bool paints(const QString &file)
{
    QImageReader reader(file);
    if (file.endsWith(QLatin1String(".svg")))
        reader.setScaledSize(QSize(48, 48));
    const QImage image = reader.read().convertToFormat(QImage::Format_Alpha8);
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        if (std::any_of(line, line + image.width(), [](uchar alpha) { return alpha > 0; }))
            return true;
    }
    return false;
}

} // namespace

// What the program carries: its images and fonts, and catalogues that match its texts.
class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void catalogueMatchesTheCode_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("German") << QStringLiteral("de");
        QTest::newRow("French") << QStringLiteral("fr");
    }

    // The committed catalogue refreshed from today's code: a new text comes in unfinished, a
    // text gone from the code stays behind as vanished, an untranslated one is unfinished.
    void catalogueMatchesTheCode()
    {
        QFETCH(QString, language);
        QTemporaryDir dir;
        const QString ts = dir.filePath(QStringLiteral("tolvane_%1.ts").arg(language));
        QVERIFY(QFile::copy(kSourceRoot + QStringLiteral("/translations/tolvane_%1.ts").arg(language), ts));
        QFile::setPermissions(ts, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QProcess lupdate;
        lupdate.setWorkingDirectory(kSourceRoot);
        lupdate.start(QStringLiteral(LUPDATE_BINARY),
                      {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                       QStringLiteral("app"), QStringLiteral("api"), QStringLiteral("dialogs"),
                       QStringLiteral("downloads"), QStringLiteral("library"), QStringLiteral("qml"),
                       QStringLiteral("-ts"), ts});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);
        const QStringList unfinished = unfinishedEntries(ts);
        QVERIFY2(unfinished.isEmpty(), qPrintable(QStringLiteral("run make translations and translate:\n")
                                                  + unfinished.join(QLatin1Char('\n'))));
    }

    // A literal on a property the customer reads never reaches a translator, nor words a function
    // returns for one; markup around a translated text is no text.
    void qmlTextsGoThroughTranslation()
    {
        static const QRegularExpression literal(QStringLiteral(
            R"re(\b(text|title|placeholderText|label|Accessible\.name|Accessible\.description|ToolTip\.text)\s*:\s*"(?!<)([^"]*[A-Za-z][^"]*)")re")
            + QStringLiteral("|\\breturn\\s+\"([^\"]*[A-Za-z][^\"]* [^\"]*)\""));
        QStringList bypassing;
        QDirIterator files(kSourceRoot + QStringLiteral("/qml"), {QStringLiteral("*.qml")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            int line = 0;
            while (!file.atEnd()) {
                ++line;
                const QString text = QString::fromUtf8(file.readLine());
                const QRegularExpressionMatch match = literal.match(text);
                if (match.hasMatch())
                    bypassing << QStringLiteral("%1:%2: %3").arg(file.fileName()).arg(line).arg(match.captured(0));
            }
        }
        QVERIFY2(bypassing.isEmpty(), qPrintable(bypassing.join(QLatin1Char('\n'))));
    }

    void datesAndSizes_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("lastUpdated");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("freeSpace");  // never grouped
        QTest::newRow("French") << "fr_FR" << "7 décembre 2026" << "1,5 Mo/s" << "1023 Mo";
        // No catalogue: English texts, and English months beside them.
        QTest::newRow("Spanish") << "es_ES" << "December 07, 2026" << "1.5 MB/s" << "1023 MB";
    }

    void datesAndSizes()
    {
        QFETCH(QString, locale);
        QFETCH(QString, lastUpdated);
        QFETCH(QString, rate);
        QFETCH(QString, freeSpace);
        const Translations translations{QLocale(locale)};
        IdleFileActions idle;
        LibraryItem item(idle);
        item.applyProduct(fixtures::product(QStringLiteral("1"), QStringLiteral("Book"),
                                            {fixtures::serviceFile(QStringLiteral("a.pdf"), QStringLiteral("2026-12-07T10:00:00"))}));
        QCOMPARE(item.displayLastModified(), lastUpdated);
        QCOMPARE(TransferText::rate(1572864), rate);
        QCOMPARE(FreeSpaceWarningDialog::formatSize(1072693248), freeSpace);
    }

    // Every resource a view or the native code names is bundled, and every image of them shows.
    void referencedResourcesExist()
    {
        // Names native code and the window content rely on even before a view mentions them.
        QSet<QString> wanted = {":/icons/icon-app-small.svg", ":/icons/logo-tolvane.png", ":/logos/qen-logo-white.png"};
        const QStringList qmlFiles = filesUnder(QStringLiteral(":/"), {"*.qml", "*.js"});
        QVERIFY(qmlFiles.contains(QStringLiteral(":/MainForm.qml")));
        for (const QString &file : qmlFiles) {
            if (!file.startsWith(QLatin1String(":/qt-project.org")))
                wanted.unite(referencedResources(file));
        }
        for (const char *folder : {"app", "api", "library", "downloads", "dialogs"}) {
            for (const QString &file : filesUnder(QStringLiteral(TESTS_SOURCE_DIR "/../") + folder, {"*.cpp", "*.h"}))
                wanted.unite(referencedResources(file));
        }
        for (const QString &name : qAsConst(wanted)) {
            QVERIFY2(QFile::exists(name), qPrintable(name));
            if (!name.startsWith(QLatin1String(":/fonts/")))
                QVERIFY2(paints(name), qPrintable(name));
        }
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
