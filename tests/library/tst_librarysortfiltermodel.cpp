#include "libraryfixtures.h"

#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"
#include "library/searchpattern.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QRegExp>
#include <QSignalSpy>
#include <QtTest>

using namespace fixtures;

// Beside the model: its search engine converts the wildcard once per keystroke, and the rows
// it accepts must be exactly those the case-insensitive wildcard "*text*" accepts.
class TestLibrarySortFilterModel : public QObject
{
    Q_OBJECT
private:
    // Products in library order; "Ember" sort tests need distinct publishers and titles.
    void fill(const QList<QPair<QString, QString>> &titlesAndPublishers)
    {
        QJsonArray page;
        int id = 1;
        for (const auto &entry : titlesAndPublishers)
            page.append(product(QString::number(id++), entry.first, {}, entry.second));
        m_library->onTitlesRefreshResult(1, page);
        m_library->onTitlesRefreshFinished();
    }

    static QStringList titlesOf(const LibrarySortFilterModel &model)
    {
        QStringList result;
        for (int row = 0; row < model.rowCount(); ++row)
            result << model.get(row, "title").toString() + QLatin1Char('@') + QString::number(model.rowToSource(row));
        return result;
    }

    QStringList visibleTitles() const { return titlesOf(*m_model); }

    // The rows a model made just now shows for the same key, tab and text.
    QStringList freshTitles(const QByteArray &key, bool keySet) const
    {
        LibrarySortFilterModel fresh;
        fresh.setSourceModel(m_library);
        if (keySet)
            fresh.setSortRoleName(key);
        if (keySet && !key.isEmpty())
            fresh.setSortOrder(m_model->sortOrder());
        fresh.setFilter(m_model->filter());
        fresh.setFilterString(m_model->filterString());
        return titlesOf(fresh);
    }

    void setStatuses(int row, const QList<int> &statuses)
    {
        m_library->itemAt(row)->filesModel()->loadSavedFiles(savedFiles(statuses));
    }

    // Role texts joined as an item joins them, then matched the way the library's filter does.
    static bool found(const QString &text, const QStringList &roles)
    {
        const QString joined = roles.join(LibraryItem::kSearchSeparator);
        const QString folded = joined.toCaseFolded();
        return SearchPattern(text).matches(joined, folded, folded.size() == joined.size());
    }

    // Both the expression and the matcher's own reading of the wildcard.
    static bool same(const QString &text, const QString &subject)
    {
        const QRegularExpression ours = SearchPattern::expressionFor(text);
        QRegExp rx(QStringLiteral("*") + text + QStringLiteral("*"), Qt::CaseInsensitive, QRegExp::Wildcard);
        const bool expected = rx.indexIn(subject) != -1;
        return (ours.isValid() && ours.match(subject).hasMatch()) == expected && found(text, {subject}) == expected;
    }

private slots:
    void init()
    {
        m_library = new OnlineLibrary(m_idle, this);
        m_model = new LibrarySortFilterModel(this);
        m_model->setSourceModel(m_library);
    }

    void cleanup()
    {
        delete m_model;
        delete m_library;
    }

    // Each key is set after another order, so it must really apply; another role name keeps the
    // order in force.
    void sortKeys()
    {
        fill({{"Zeta", "P3"}, {"alpha", "P1"}, {"Zeta", "P3"}, {"Beta", "P2"}});
        QStringList orders;
        for (const QByteArray &key : QList<QByteArray>{{}, "titleAZ", "publisherAZ", "reverseInitialIndex", "publisher"}) {
            m_model->setSortRoleName("titleZA");
            m_model->setSortRoleName(key);
            orders << visibleTitles().join(QLatin1Char(' '));
        }
        QCOMPARE(orders, (QStringList{"Zeta@0 alpha@1 Zeta@2 Beta@3", "Beta@3 Zeta@0 Zeta@2 alpha@1",
                                      "alpha@1 Beta@3 Zeta@0 Zeta@2", "Beta@3 Zeta@2 alpha@1 Zeta@0",
                                      "Zeta@0 Zeta@2 Beta@3 alpha@1"}));
    }

    // After every step the rows, in order, must be those of a fresh model with the same text,
    // tab and sort key. A step is a search text or, between keystrokes: "=N:Title" a refresh
    // renames source row N (or adds it); "!N:S" file 0 of row N takes status S; "@key" a sort
    // key; "~" the order flipped; "#F" the tab filter; "+N" / "-N" selects / unselects row N.
    // Whole-library sorts compare cached places, which must follow renamed and new products.
    void searchStepsMatchAFreshModel_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("renames and new products under a sort")
            << QStringList{"@titleAZ", "=1:Echo", "*", "", "=7:Charlie", "=8:Dragon Tales", "*", "~", "@publisherAZ",
                           "=0:Aardvark", "@titleZA"};
        QTest::newRow("rename into a narrowed search") << QStringList{"@titleAZ", "w", "wy", "=0:Wyvern Road", "wyv", "wy", "w", ""};
        QTest::newRow("rename out of kept results") << QStringList{"s", "se", "sea", "=2:Brine", "se", "s", "sea"};
        QTest::newRow("status under a tab") << QStringList{"#1", "e", "!1:2", "em", "!1:0", "e", "!3:3", "", "#3", "d"};
        QTest::newRow("sort while narrowed") << QStringList{"d", "dr", "@publisherZA", "dra", "@reverseInitialIndex", "dr", "@", "d"};
        QTest::newRow("tab while narrowed") << QStringList{"e", "#2", "em", "#0", "e", "#3", ""};
        QTest::newRow("selection while narrowed") << QStringList{"t", "tr", "+1", "tru", "true", "-1", "tru", "+0", "t"};
        QTest::newRow("surrogate pair") << QStringList{"@", "\U0001F409", QString(QChar(0xD83D)), "\U0001F409", "\U0001F409 h"};
    }

    void searchStepsMatchAFreshModel()
    {
        QFETCH(QStringList, steps);
        fill({{"Dragon Tales", "Ember Press"}, {"Wyrm", "Ember Press"}, {"Sea Book", "DRAGONFLY"},
              {"Drake Road", "Red Press"}, {"Wyvern", "Sea Hall"}, {"Dread Sea", "Ember Press"},
              {"\U0001F409 hoard", "Scales"}});
        QAbstractItemModelTester tester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QByteArray key;
        bool keySet = false;
        for (const QString &step : steps) {
            const QChar kind = step.isEmpty() ? QChar() : step.at(0);
            const QString rest = step.mid(1);
            const int row = rest.section(QLatin1Char(':'), 0, 0).toInt();
            if (kind == QLatin1Char('=')) {
                m_library->onTitlesRefreshResult(1, {product(QString::number(row + 1), rest.section(QLatin1Char(':'), 1))});
            } else if (kind == QLatin1Char('!')) {
                const auto status = LibraryFile::Status(rest.section(QLatin1Char(':'), 1).toInt());
                IdleFileActions::setStatusForTest(m_library->itemAt(row)->filesModel()->fileAt(0), status);
            } else if (kind == QLatin1Char('@')) {
                key = rest.toLatin1();
                keySet = true;
                m_model->setSortRoleName(key);
            } else if (kind == QLatin1Char('+') || kind == QLatin1Char('-')) {
                m_library->itemAt(row)->setSelectedForSync(kind == QLatin1Char('+'));
            } else if (kind == QLatin1Char('~')) {
                m_model->setSortOrder(Qt::DescendingOrder);
            } else if (kind == QLatin1Char('#')) {
                m_model->setFilter(LibraryFilterType::EnFilterType(rest.toInt()));
            } else {
                m_model->setFilterString(step);
            }
            // File states change without a word to the views; the next search or tab sees them.
            if (kind == QLatin1Char('!'))
                continue;
            const QStringList expected = freshTitles(key, keySet);
            QVERIFY2(visibleTitles() == expected,
                     qPrintable(step + QStringLiteral(": ") + visibleTitles().join(',') + QStringLiteral(" vs ") + expected.join(',')));
        }
    }

    // Past a few hundred rows coming or going the model replaces the rows from the first one
    // that changes at once instead of updating in place; both ways must end with the rows of a
    // fresh search, and the rows above stay where they are.
    void largeChangesMatchAFreshModel_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::newRow("library order") << QByteArray();
        QTest::newRow("purchasedNewest") << QByteArray("purchasedNewest");
    }

    void largeChangesMatchAFreshModel()
    {
        QFETCH(QByteArray, key);
        const char *const words[] = {"Dragon", "Keep", "Shadow", "River", "Iron", "Crown", "Sea", "Wyrm"};
        QJsonArray page;
        QRandomGenerator random(7);
        for (int id = 1; id <= 900; ++id) {
            QStringList title;
            for (int w = 0; w < 3; ++w)
                title << QString::fromLatin1(words[random.bounded(8)]);
            page.append(product(QString::number(id), title.join(QLatin1Char(' '))));
        }
        m_library->onTitlesRefreshResult(1, page);
        m_library->onTitlesRefreshFinished();
        m_model->setSortRoleName(key);
        QAbstractItemModelTester tester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // The views get a few runs of rows for a large change, never one run per gap.
        int runs = 0;
        int lowestRemoved = 0;
        connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [&](const QModelIndex &, int first) {
            ++runs;
            lowestRemoved = std::min(lowestRemoved, first);
        });
        connect(m_model, &QAbstractItemModel::rowsInserted, this, [&] { ++runs; });
        for (const char *typed : {"d", "dr", "dra", "dr", "d", "", "crown crown", "crown crown k", "crown crown",
                                  "sea", "se", "s", "s?a", "", "x"}) {
            const QString text = QString::fromLatin1(typed);
            const QStringList before = visibleTitles();
            runs = 0;
            lowestRemoved = before.size();
            m_model->setFilterString(text);
            const QStringList after = visibleTitles();
            QCOMPARE(after, freshTitles(key, true));
            const QSet<QString> was(before.cbegin(), before.cend()), now(after.cbegin(), after.cend());
            const int changed = (was - now).size() + (now - was).size();
            QVERIFY2(changed <= 200 || runs <= 2, qPrintable(text + QStringLiteral(": %1 runs").arg(runs)));
            int unchanged = 0;
            while (unchanged < before.size() && unchanged < after.size() && before.at(unchanged) == after.at(unchanged))
                ++unchanged;
            QVERIFY2(lowestRemoved >= unchanged, qPrintable(text + QStringLiteral(": row %1 removed").arg(lowestRemoved)));
        }
    }

    // Typed on and deleted back at random, every wildcard text must show the rows whose role
    // texts the expression matches one role at a time, in any letter case and script.
    void randomTypingMatchesTheExpression()
    {
        fill({{"Ab[c]-d", "aB^\\x"}, {"ÉCOLE é", "Σίσυφος ς"}, {"\U0001F409 ab", "-]^"}, {"abab", "K\u212A"},
              {"ǅungla", "STRASSE straße"}, {"x?y*z", "[ab]"}});
        m_model->setSortRoleName(QByteArray());
        const QStringList pieces = QString::fromUtf8("a A b B é É σ Σ ς k K - [ ] ^ \\ * ? [a-c] [^a] [^]] []b] [b-a] [É] [σ] [^-] [k-k] [^\\]").split(QLatin1Char(' '));
        QRandomGenerator random(20261206);
        QString text;
        for (int round = 0; round < 3000; ++round) {
            if (!text.isEmpty() && random.bounded(3) == 0)
                text.chop(1 + int(random.bounded(text.size())));
            else
                text += pieces.at(int(random.bounded(pieces.size())));
            m_model->setFilterString(text);
            const QRegularExpression expression = SearchPattern::expressionFor(text);
            QStringList expected;
            for (int row = 0; row < m_library->rowCount(); ++row) {
                bool match = false;
                for (int role : m_library->roleNames().keys()) {
                    const QVariant value = m_library->index(row).data(role);
                    match = match || (value.canConvert<QString>() && expression.match(value.toString()).hasMatch());
                }
                if (match)
                    expected << m_library->get(row, "title").toString() + QLatin1Char('@') + QString::number(row);
            }
            QVERIFY2(visibleTitles() == expected, qPrintable(text + QStringLiteral(": ") + visibleTitles().join(',')
                                                              + QStringLiteral(" vs ") + expected.join(',')));
        }
    }

    void tabFiltersAndSelection()
    {
        fill({{"Local", "P"}, {"Mixed", "P"}, {"Update", "P"}, {"Remote", "P"}, {"Empty", "P"}});
        m_model->setSortRoleName(QByteArray());
        setStatuses(0, {LibraryFile::Local});
        setStatuses(1, {LibraryFile::Downloaded, LibraryFile::Remote});
        setStatuses(2, {LibraryFile::UpdateAvailable});
        m_library->itemAt(4)->filesModel()->mergeServiceFiles({});
        QStringList shown;
        for (auto filter : {LibraryFilterType::ALL, LibraryFilterType::DOWNLOADED, LibraryFilterType::NOT_DOWNLOADED,
                            LibraryFilterType::UPDATE_AVAILABLE}) {
            // Through the property system, as the views set it.
            QVERIFY(m_model->setProperty("filter", QVariant::fromValue(filter)));
            shown << visibleTitles().join(QLatin1Char(' '));
        }
        QCOMPARE(shown, (QStringList{"Local@0 Mixed@1 Update@2 Remote@3", "Mixed@1 Update@2", "Mixed@1 Remote@3", "Update@2"}));

        // Select all and none act on the rows shown, and say so when one of them changes.
        m_model->setFilter(LibraryFilterType::DOWNLOADED);
        QSignalSpy all(m_model, &LibrarySortFilterModel::isAllFilteredSelectedChanged);
        m_model->selectFiltered();
        QVERIFY(m_model->isAllFilteredSelected());
        QVERIFY(!all.isEmpty());
        QCOMPARE(m_library->itemAt(3)->selectedForSync(), false);
        m_library->itemAt(2)->setSelectedForSync(false);
        QVERIFY(!m_model->isAllFilteredSelected());
        QVERIFY(m_model->isAnyFilteredSelected());
        m_model->unselectFiltered();
        QVERIFY(m_library->noneSelected());
    }

private:
    IdleFileActions m_idle;
    OnlineLibrary *m_library = nullptr;
    LibrarySortFilterModel *m_model = nullptr;

    // Texts that mean something to a regular expression, a set or the other engine, on subjects
    // that hold such characters; then random patterns over the characters that mean something
    // to either engine.
    void matchesLikeWildcard()
    {
        const QStringList subjects = {"Dragon Tales", "a.b(c)+d$e^f{g}|h", "x\\y*z?w", "[abc]", "\u00dcber stra\u00dfe",
                                      "line\nbreak", "-]^"};
        const QStringList texts = {"d?agon", "DR*TA", "(c)+", "$e^f{g}|h", "\\*", "[^abc]", "[]abc]", "[c-a]", "[abc",
                                   "[a-]", "[\\]", "[[:alpha:]]", "\u00fcber", "e\nb", "[!a]", "\\", "[^]]"};
        for (const QString &text : texts) {
            for (const QString &subject : subjects)
                QVERIFY2(same(text, subject), qPrintable(text + " in " + subject));
        }

        const QString alphabet = QStringLiteral("aAbB-[]^\\*?.!$(");
        QRandomGenerator random(20210119);
        const auto randomText = [&](int maxLength) {
            QString s;
            const int length = int(random.bounded(maxLength + 1));
            for (int i = 0; i < length; ++i)
                s += alphabet.at(int(random.bounded(alphabet.size())));
            return s;
        };
        for (int round = 0; round < 20000; ++round) {
            const QString text = randomText(6), subject = randomText(10);
            QVERIFY2(same(text, subject), qPrintable(text + " on " + subject));
        }
    }

    // Wildcard searches look first for the longest run of plain text and then try the
    // pattern on each role that holds it; a role further on may be the one that matches.
    void wildcardsTryEveryRoleWithTheText()
    {
        QStringList matched;
        for (const char *text : {"tale*co", "[t]ale*co", "tal?s", "tale*zz"}) {
            matched << QString::number(found(QString::fromLatin1(text), {"Ember Tales", "Tale Ember Co"}))
                           + QString::number(found(QString::fromLatin1(text), {"Tales", "Ember"}));
        }
        QCOMPARE(matched, (QStringList{"10", "10", "11", "00"}));
    }
};

QTEST_GUILESS_MAIN(TestLibrarySortFilterModel)
#include "tst_librarysortfiltermodel.moc"
