#include "libraryitem.h"

#include "app/core/constants.h"
#include "downloads/fileactions.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/libraryfile.h"
#include "itemfilesmodel.h"
#include "libraryitemrelay.h"

#include <QDebug>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

namespace {

const qint64 kNewBadgeSeconds = 24 * 60 * 60;
const int kRuleSystemParentId = 30;  // the service's filter group that names game systems

LibraryItem::Clock g_clock = nullptr;

// A day as the library shows it, in the default locale's month names and its language's order.
QString displayDate(const QDateTime &date)
{
    //: A QLocale date format: MMMM the month's name, d/dd the day, yyyy the year.
    return date.isValid() ? QLocale().toString(date, LibraryItem::tr("MMMM dd, yyyy")) : QString();
}

// Text members of the service's objects: anything that is not a JSON string reads as empty.
QString text(const QJsonObject &object, QLatin1String key, int maxLength = LibraryFile::kMaxTextLength)
{
    return LibraryFile::boundedText(object.value(key).toString(), maxLength);
}

// Saved values go through the variant conversion so that a number stored where text is
// expected still reads the way the property system would read it.
QString savedText(const QJsonValue &value, int maxLength = LibraryFile::kMaxTextLength)
{
    return LibraryFile::boundedText(value.isString() ? value.toString() : value.toVariant().toString(), maxLength);
}

} // namespace

const QChar LibraryItem::kSearchSeparator = QChar(0);

QString LibraryItem::productFolder() const
{
    return LibraryFile::productFolderOf(m_publisher, m_title, m_productId, m_ownFolder);
}

LibraryItem::LibraryItem(FileActions &actions, QObject *parent)
    : FileOwner(parent), m_actions(actions)
{
}

LibraryItem::~LibraryItem() = default;

ItemFilesModel *LibraryItem::filesModel() const
{
    if (m_filesModel)
        return m_filesModel;
    auto *self = const_cast<LibraryItem *>(this);
    m_filesModel = new ItemFilesModel(self, m_actions);
    relayFileSignals();
    if (m_filesPending) {
        m_filesPending = false;
        QJsonArray files;
        if (!m_pendingFiles.isEmpty()) {
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
            files = QJsonDocument::fromBinaryData(m_pendingFiles, QJsonDocument::Validate).array();
QT_WARNING_POP
        }
        m_pendingFiles = QByteArray();
        m_filesModel->loadSavedFiles(files);
    }
    return m_filesModel;
}

void LibraryItem::collectFileHashes(FolderScannerTaskData &data) const
{
    if (!m_filesPending) {
        filesModel()->collectFileHashes(data);
        return;
    }
    const QJsonArray files = savedFiles().toArray();
    auto *self = const_cast<LibraryItem *>(this);
    for (int row = 0; row < files.size(); ++row) {
        LibraryFile standIn(self, m_actions);
        standIn.fromJson(files.at(row));
        data.addSavedFile(standIn, self, row);
    }
}

void LibraryItem::setRelay(LibraryItemRelay *relay)
{
    if (m_relay && m_relay != relay)
        disconnect(this, nullptr, m_relay, nullptr);
    m_relay = relay;
    if (m_filesModel)
        relayFileSignals();
}

void LibraryItem::relayFileSignals() const
{
    // Only items whose files exist can report on them; the connections wait until then.
    if (!m_relay)
        return;
    connect(this, &LibraryItem::anyFileUpdateAvailableChanged, m_relay, &LibraryItemRelay::anyFileUpdateAvailableChanged,
            Qt::UniqueConnection);
    connect(this, &LibraryItem::filesStateChanged, m_relay, &LibraryItemRelay::filesStateChanged, Qt::UniqueConnection);
}

void LibraryItem::rejoinQueue()
{
    // Files still in their saved form are all remote.
    if (m_filesModel)
        m_filesModel->rejoinQueue();
}

void LibraryItem::setClock(Clock clock)
{
    g_clock = clock;
}

QDateTime LibraryItem::currentDateTime()
{
    return g_clock ? g_clock() : QDateTime::currentDateTime();
}

void LibraryItem::setTitleBadge(LibraryItemBadge::Badge badge)
{
    if (badge == m_titleBadge)
        return;
    if (badge == LibraryItemBadge::New && m_newBadgeTime.isNull())
        m_newBadgeTime = currentDateTime();
    m_titleBadge = badge;
    invalidateSearchText();
    emit itemBadgeUpdated(this);
    if (m_relay)
        emit m_relay->itemBadgeUpdated(this);
}

void LibraryItem::setSelectedForSync(bool selected)
{
    if (selected == m_selectedForSync)
        return;
    m_selectedForSync = selected;
    invalidateSearchText();
    emit selectedForSyncChanged();
    if (m_relay)
        emit m_relay->selectedForSyncChanged(this);
}

void LibraryItem::refreshTitleBadge()
{
    const bool fresh = m_newBadgeTime.isValid()
        && m_newBadgeTime.secsTo(currentDateTime()) < kNewBadgeSeconds;
    if (fresh) {
        if (m_titleBadge == LibraryItemBadge::New)
            return;
        if (m_newBadgeTime.isNull())
            m_newBadgeTime = currentDateTime();
        m_titleBadge = LibraryItemBadge::New;
    } else {
        if (m_titleBadge == LibraryItemBadge::None)
            return;
        m_titleBadge = LibraryItemBadge::None;
    }
    invalidateSearchText();
    emit itemBadgeUpdated(this);
    if (m_relay)
        emit m_relay->itemBadgeUpdated(this);
}

void LibraryItem::applyProduct(const QJsonObject &product)
{
    setTitle(text(product, QLatin1String("products_name")));
    setCoverURL(text(product, QLatin1String("cover_url_fullsize"), LibraryFile::kMaxUrlLength));
    setThumbURL(text(product, QLatin1String("products_thumbnail100"), LibraryFile::kMaxUrlLength));
    m_archived = text(product, QLatin1String("is_archived")).toInt();
    setDatePurchased(text(product, QLatin1String("date_purchased")));
    setRulesInfo(true, product);
    setFilesInfo(true, product);
}

void LibraryItem::setRulesInfo(bool success, QJsonValue product)
{
    if (success) {
        const QJsonArray filters = product.toObject().value(QLatin1String("filters")).toArray();
        for (const QJsonValue &filter : filters) {
            const QJsonObject object = filter.toObject();
            if (text(object, QLatin1String("parent_id")).toInt() == kRuleSystemParentId) {
                setRuleSystem(text(object, QLatin1String("filters_name")));
                break;
            }
        }
    }
    if (m_ruleSystem.isEmpty())
        setRuleSystem(tr("Other systems"));
    emit rulesInfoUpdated(this);
    if (m_relay)
        emit m_relay->rulesInfoUpdated(this);
}

void LibraryItem::setFilesInfo(bool success, QJsonValue product)
{
    if (success) {
        const QJsonObject object = product.toObject();
        filesModel()->mergeServiceFiles(object.value(QLatin1String("files")).toArray());
        setPublisher(text(object, QLatin1String("publishers_name")));
        setCoverURL(text(object, QLatin1String("cover_url_fullsize"), LibraryFile::kMaxUrlLength));
        setThumbURL(text(object, QLatin1String("products_thumbnail100"), LibraryFile::kMaxUrlLength));
    }
    invalidateSearchText();
    emit filesInfoUpdated(this);
    if (m_relay)
        emit m_relay->filesInfoUpdated(this);
}

void LibraryItem::requestTitleInfo()
{
    m_actions.requestTitleInfo(m_productId, this,
                               [this](bool success, const QJsonValue &product) { setFilesInfo(success, product); });
}

namespace {

// Only the badges there are; anything else saved under the key reads as no badge.
LibraryItemBadge::Badge savedBadge(const QJsonValue &field)
{
    const int number = field.toVariant().toInt();
    switch (number) {
    case LibraryItemBadge::New:
    case LibraryItemBadge::Update:
        return LibraryItemBadge::Badge(number);
    default:
        return LibraryItemBadge::None;
    }
}

} // namespace

void LibraryItem::applySavedField(const QString &key, const QJsonValue &field)
{
    if (key == QLatin1String("titleBadge"))
        setTitleBadge(savedBadge(field));
    else if (key == QLatin1String("title"))
        m_title = savedText(field);
    else if (key == QLatin1String("publisher"))
        m_publisher = savedText(field);
    else if (key == QLatin1String("thumbURL"))
        m_thumbURL = savedText(field, LibraryFile::kMaxUrlLength);
    else if (key == QLatin1String("coverURL"))
        m_coverURL = savedText(field, LibraryFile::kMaxUrlLength);
    else if (key == QLatin1String("ruleSystem"))
        m_ruleSystem = savedText(field);
    else if (key == QLatin1String("productId"))
        m_productId = savedText(field);
    else if (key == QLatin1String("datePurchased"))
        m_datePurchased = savedText(field);
    else if (key == QLatin1String("downloadedDate"))
        m_downloadedDate = savedText(field);
    else if (key == QLatin1String("archived"))
        m_archived = field.toVariant().toInt();
    else if (key == QLatin1String("newBadgeTime"))
        m_newBadgeTime = field.isString() ? QDateTime::fromString(field.toString(), Qt::ISODateWithMs) : QDateTime();
    else if (key == QLatin1String("selectedForSync"))
        setSelectedForSync(field.toVariant().toBool());
    else if (key == QLatin1String("ownFolder"))
        m_ownFolder = field.toVariant().toBool();
    else
        setProperty(key.toUtf8().constData(), field.toVariant());
}

void LibraryItem::fromJson(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    QJsonValue files;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (it.key() == QLatin1String("files"))
            files = it.value();
        else
            applySavedField(it.key(), it.value());
    }
    invalidateSearchText();
    filesModel()->loadSavedFiles(files);
    finishLoading();
}

void LibraryItem::fromSaved(const BinaryStoreReader &store, BinaryStoreReader::Value object)
{
    bool hasFiles = false;
    BinaryStoreReader::Value files;
    if (store.type(object) == QJsonValue::Object) {
        store.forEachEntry(object, [&](const BinaryStoreReader::Key &key, BinaryStoreReader::Value field) {
            if (key == QLatin1String("files")) {
                hasFiles = true;
                files = field;
                return;
            }
            // The common case, text where text is kept, without a detour through a JSON value.
            if (store.type(field) == QJsonValue::String) {
                QString *text = key == QLatin1String("title")           ? &m_title
                              : key == QLatin1String("publisher")       ? &m_publisher
                              : key == QLatin1String("thumbURL")        ? &m_thumbURL
                              : key == QLatin1String("coverURL")        ? &m_coverURL
                              : key == QLatin1String("ruleSystem")      ? &m_ruleSystem
                              : key == QLatin1String("productId")       ? &m_productId
                              : key == QLatin1String("datePurchased")   ? &m_datePurchased
                              : key == QLatin1String("downloadedDate")  ? &m_downloadedDate
                                                                        : nullptr;
                if (text) {
                    *text = store.string(field);
                    return;
                }
            }
            applySavedField(key.toString(), store.toJsonValue(field));
        });
    }
    invalidateSearchText();
    if (hasFiles && store.type(files) == QJsonValue::Array)
        keepPendingFiles(store, files);
    else
        filesModel()->loadSavedFiles(hasFiles ? store.toJsonValue(files) : QJsonValue());
    finishLoading();
}

void LibraryItem::keepPendingFiles(const BinaryStoreReader &store, BinaryStoreReader::Value files)
{
    // Only files that load as plain remote ones, with nothing on disk to look at and no
    // flag to count, may wait; anything else is made now, as it always was.
    const int count = store.count(files);
    bool plain = !m_filesModel;
    QDateTime firstModified;
    for (int i = 0; i < count && plain; ++i) {
        const BinaryStoreReader::Value file = store.at(files, i);
        if (store.type(file) != QJsonValue::Object) {
            plain = false;
            break;
        }
        bool named = false;
        store.forEachEntry(file, [&](const BinaryStoreReader::Key &key, BinaryStoreReader::Value field) {
            if (key == QLatin1String("serverFileName")) {
                named = store.stringLength(field) > 0;
            } else if (key == QLatin1String("status")) {
                const int status = store.type(field) == QJsonValue::Double ? store.toJsonValue(field).toInt(0) : 0;
                if (status >= LibraryFile::Local && status <= LibraryFile::DownloadError)
                    plain = false;
            } else if (key == QLatin1String("fileName")) {
                plain = false;
            } else if (i == 0 && key == QLatin1String("lastModified")) {
                firstModified = store.type(field) == QJsonValue::String
                    ? QDateTime::fromString(store.string(field), Qt::ISODate) : QDateTime();
            }
        });
        plain = plain && named;
    }
    if (!plain) {
        filesModel()->loadSavedFiles(store.toJsonValue(files));
        return;
    }
    m_filesPending = true;
    m_pendingFileCount = count;
    m_pendingFirstModified = firstModified;
    if (count > 0)
        m_pendingFiles = store.document(files);
}

void LibraryItem::finishLoading()
{
    refreshTitleBadge();

    if (m_downloadedDate.isEmpty() && m_filesModel) {
        const QList<LibraryFile *> &list = m_filesModel->files();
        for (int i = list.size() - 1; i >= 0; --i) {
            const LibraryFile::Status status = list.at(i)->status();
            if (status != LibraryFile::UpdateAvailable && status != LibraryFile::Downloaded
                && status != LibraryFile::Local)
                continue;
            const QDateTime modified = QFileInfo(list.at(i)->filePath()).lastModified();
            if (modified.isValid())
                m_downloadedDate = modified.toString(Constants::ServiceDateFormat);
            break;
        }
    }
}

QJsonValue LibraryItem::savedFiles() const
{
    if (m_filesPending) {
        if (m_pendingFiles.isEmpty())
            return QJsonArray();
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
        return QJsonDocument::fromBinaryData(m_pendingFiles, QJsonDocument::Validate).array();
QT_WARNING_POP
    }
    return m_filesModel ? m_filesModel->toJson() : QJsonArray();
}

QJsonValue LibraryItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("archived"), m_archived);
    object.insert(QLatin1String("coverURL"), m_coverURL);
    object.insert(QLatin1String("datePurchased"), m_datePurchased);
    object.insert(QLatin1String("downloadedDate"), m_downloadedDate);
    object.insert(QLatin1String("files"), savedFiles());
    if (m_ownFolder)
        object.insert(QLatin1String("ownFolder"), true);
    object.insert(QLatin1String("newBadgeTime"),
                  m_newBadgeTime.isValid() ? QJsonValue(m_newBadgeTime.toString(Qt::ISODateWithMs)) : QJsonValue());
    object.insert(QLatin1String("productId"), m_productId);
    object.insert(QLatin1String("publisher"), m_publisher);
    object.insert(QLatin1String("ruleSystem"), m_ruleSystem);
    object.insert(QLatin1String("selectedForSync"), m_selectedForSync);
    object.insert(QLatin1String("thumbURL"), m_thumbURL);
    object.insert(QLatin1String("title"), m_title);
    object.insert(QLatin1String("titleBadge"), int(m_titleBadge));
    return object;
}

LibraryFile *LibraryItem::fileAt(int row) const
{
    return filesModel()->fileAt(row);
}

void LibraryItem::fileQueued()
{
    setTitleBadge(LibraryItemBadge::None);
}

void LibraryItem::stampDownloadedDate()
{
    setDownloadedDate(currentDateTime().toString(Constants::ServiceDateFormat));
    emit downloadedDateUpdated(this);
    if (m_relay)
        emit m_relay->downloadedDateUpdated(this);
}

void LibraryItem::clearDownloadedDate()
{
    setDownloadedDate(QString());
    emit downloadedDateUpdated(this);
    if (m_relay)
        emit m_relay->downloadedDateUpdated(this);
}

QString LibraryItem::displayDownloadedDate() const
{
    const QDateTime date = QDateTime::fromString(m_downloadedDate, Constants::ServiceDateFormat);
    return displayDate(date);
}

QString LibraryItem::displayLastModified() const
{
    if (m_filesPending) {
        return m_pendingFileCount > 0 ? displayDate(m_pendingFirstModified) : QString();
    }
    if (!m_filesModel || m_filesModel->count() == 0)
        return QString();
    const QDateTime modified = m_filesModel->fileAt(0)->lastModified();
    return displayDate(modified);
}

const QString &LibraryItem::searchText() const
{
    if (m_searchTextValid)
        return m_searchText;
    // The same roles, and the same text forms, as the online library answers for this item.
    const QString parts[] = {m_title, m_publisher, m_thumbURL, m_coverURL, m_ruleSystem,
                             QString::number(int(m_titleBadge)), m_datePurchased,
                             m_selectedForSync ? QStringLiteral("true") : QStringLiteral("false"),
                             displayDownloadedDate(), displayLastModified()};
    m_searchText.clear();
    bool first = true;
    for (const QString &part : parts) {
        if (!first)
            m_searchText += kSearchSeparator;
        first = false;
        const int start = m_searchText.size();
        m_searchText += part;
        // The separator must never occur inside a part, or a match could span two roles;
        // any other single character keeps what the wildcards match.
        for (int i = start; i < m_searchText.size(); ++i) {
            if (m_searchText.at(i) == kSearchSeparator)
                m_searchText[i] = QChar::ReplacementCharacter;
        }
    }
    m_searchTextValid = true;
    return m_searchText;
}

void LibraryItem::downloadAllFiles()
{
    qDebug() << "LibraryItem: download all files of" << m_productId;
    qDebug() << "Total size:" << filesModel()->totalSize();
    filesModel()->forgetMissingCopies();
    filesModel()->downloadAll();
}

void LibraryItem::updateAllFiles()
{
    qDebug() << "LibraryItem: update all files of" << m_productId;
    filesModel()->updateAll();
}

void LibraryItem::openOneFile()
{
    filesModel()->openOneFile();
}
