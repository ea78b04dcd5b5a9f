#include "downloadcontext.h"

#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

namespace {

void attachRows(OnlineLibrary *library, const DownloadContext &context, int first, int last)
{
    for (int row = first; row <= last; ++row) {
        if (LibraryItem *item = library->itemAt(row))
            item->setDownloadContext(context);
    }
}

} // namespace

void DownloadContext::attachTo(OnlineLibrary *library) const
{
    const DownloadContext context = *this;
    attachRows(library, context, 0, library->rowCount() - 1);
    QObject::connect(library, &QAbstractItemModel::modelReset, library,
                     [library, context] { attachRows(library, context, 0, library->rowCount() - 1); });
    QObject::connect(library, &QAbstractItemModel::rowsInserted, library,
                     [library, context](const QModelIndex &, int first, int last) {
                         attachRows(library, context, first, last);
                     });
}
