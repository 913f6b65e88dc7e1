#include "data/folderstreewrites.h"

#include "data/basedataclient.h"
#include "data/datakinds.h"
#include "data/folderstree.h"
#include "data/folderstreerows.h"
#include "db/dataset.h"
#include "db/transaction.h"
#include "foundation/scgtreeview.h"
#include "foundation/updatessuspension.h"

#include <QApplication>
#include <memory>
#include <vector>

namespace {
int Depth = 0;

// Depth, painting and cursor go back on every path.
class TWritesScope {
public:
    TWritesScope(bool busyCursor) : m_updates(FoldersTreeState->FolderTree), m_busy(busyCursor)
    {
        ++Depth;
        if (m_busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TWritesScope()
    {
        --Depth;
        if (m_busy)
            QApplication::restoreOverrideCursor();
    }
    TWritesScope(const TWritesScope&) = delete;
    TWritesScope& operator=(const TWritesScope&) = delete;

private:
    TUpdatesSuspension m_updates;
    bool m_busy;
};

void RereadFolderRows(TBaseDataClient* book) noexcept
{
    for (TDataKind kind : {dkFolders, dkFolderAssigns}) {
        try {
            TNDataSet* dataSet = book->GetDataSet(kind);
            if (dataSet->Active())
                dataSet->Refresh();
        } catch (...) {
            // The book cannot be read now; the reload below shows what it can.
        }
    }
}
}  // namespace

void RunTreeWrites(const QList<TBaseDataClient*>& books, const std::function<void()>& operation, bool busyCursor)
{
    if (Depth > 0) {
        operation();
        return;
    }
    TWritesScope scope(busyCursor);
    // The rows' datasets stay open for the whole operation (each row's write
    // would otherwise open and close them again) and afterwards go back to
    // their open state and position.
    std::vector<std::unique_ptr<TNDataSetScope>> openRows;
    std::vector<std::unique_ptr<TNTransaction>> transactions;
    try {
        for (TBaseDataClient* book : books) {
            if (!book)
                continue;
            for (TDataKind kind : {dkFolders, dkFolderAssigns})
                openRows.push_back(std::make_unique<TNDataSetScope>(*book->GetDataSet(kind)));
            if (auto tx = book->BeginTransaction())
                transactions.push_back(std::move(tx));
        }
        {
            TNRowDeleteBatchScope deletes;
            operation();
            deletes.Flush();
        }
        for (auto& tx : transactions)
            tx->Commit();
    } catch (...) {
        for (auto& tx : transactions)
            tx->Rollback();
        for (TBaseDataClient* book : books)
            if (book)
                RereadFolderRows(book);
        if (TSCGTreeView* tree = FoldersTreeState->FolderTree) {
            try {
                ReloadFoldersTree(tree);
            } catch (...) {
                // The operation's own error is the one to report.
            }
        }
        throw;
    }
}
