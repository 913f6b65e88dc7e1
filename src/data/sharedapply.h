#pragma once
// Applying a shared address book's change logs to the paging server, and
// refreshing its datasets from there.
//
// Apply sends the net changes of each dataset to the dataset's provider in
// two passes. The inserts and edits go in an order that lets references
// follow: carrier types, carriers, contacts, templates, groups, folders (a
// folder after its new parent), then the group and folder memberships. The
// deletes go after them, the other way round, so that a record goes after
// the rows that named it were changed or deleted. A row that names a
// temporary ID never goes: it waits in the log until the row it names has
// its real ID, and the result's Notice names each one still waiting at the
// end, with why. A row naming a new record that is no longer in the book is
// dropped first (and named). Every temporary ID the server replaced is
// replaced in the other datasets and their change logs (Folders.ParentID,
// FolderAssigns, GroupAssigns, Contacts.CarrierID), in "FoldersOpen", and
// handed to the hook below (the folder tree). A row the server refused goes
// to the reconcile handler, whose answer decides what becomes of it. The
// cache files are written afterwards.
//
// Each batch of changes goes under an apply ID, kept with the changes as
// they were sent in the dataset's pending apply (and its cache file) until
// the answer is taken in. When the answer is lost (the line broke, the
// time-out ran out), the next apply sends that batch again first (in the
// first pass, whatever it holds: every batch sent before it was answered),
// under the same ID: the server answers with the result it stored and does
// not store the rows twice; edits made meanwhile go after it as changes of
// their own.
//
// Main thread only. Each runs as talks of a TDoorExchange (doorexchange.h):
// the network work on the exchange's worker, everything that reads or
// writes the datasets (and the reconcile handler) on the main thread
// between talks. Every answer is checked before anything of it is stored:
// a fetched packet as ReadFetchAnswer checks it; an apply answer must give
// each new row a positive ID within 32 bits that no other row has or gets,
// and its server rows must match the fields' kinds. A refused packet or
// answer leaves the datasets and the cache as they were, with a text that
// names the book, its server and the fault.

#include "data/datakinds.h"
#include "db/clientdataset.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVariantMap>
#include <functional>

class TDoorExchange;
class TSharedAccessClient;

// The answers to a refused row.
enum class TReconcileAction {
    raSkip,     // keep the change in the log for a later apply; go on
    raAbort,    // keep it and every change not yet sent; stop
    raMerge,    // take the server's row as the original and keep the change: it goes again next time;
                // an edit of a row the server no longer has is kept as a new row
    raCorrect,  // as Merge, with the values the operator corrected
    raCancel,   // undo the change: the row as the server has it (none for a new row, whose
                // memberships and subfolders go with it)
    raRefresh,  // the same: take the server's row as it stands
};

struct TReconcileRequest {
    QString BookName;
    QString Provider;
    TUpdateKind Kind = TUpdateKind::ukModify;
    int ErrorCode = 0;
    QString ErrorText;
    QVariantMap Local;  // the row as this client has it (empty for a delete)
    bool HasServerRow = false;
    QVariantMap ServerRow;           // the server's row as it now stands
    std::vector<TNFieldDef> Fields;  // what each field can take (for Correct)
};

// Asks what to do with a refused row; Corrected holds the local values to
// change for raCorrect, each one its field can take. The default handler
// (none installed) skips. A failure while a choice is carried out leaves
// the row and its change as they were and ends the apply with a text that
// names the book and the fault.
using TReconcileHandler = std::function<TReconcileAction(const TReconcileRequest& request, QVariantMap* corrected)>;
TReconcileHandler SetReconcileHandler(TReconcileHandler handler);

// Told of every temporary ID the server replaced, after the datasets are.
using TTempIdHook = std::function<void(TSharedAccessClient* client, TDataKind kind, qint32 tempId, qint32 newId)>;
void SetTempIdReplacedHook(TTempIdHook hook);

struct TApplyResult {
    bool Ok = false;        // the server was reached and every request was taken
    int Applied = 0;        // rows the server stored
    int Refused = 0;        // rows it refused (whatever the answer)
    bool Aborted = false;   // the reconcile answer stopped the apply
    QString ErrorText;      // why the server could not be used, or the cache not saved
    QString SaveErrorText;  // why the cache could not be saved afterwards (also after a cancel)
    QString Notice;         // after an apply that ran to its end: the changes it could not send and why
    // New records that went in this apply (a reconcile choice gave up a new
    // row the server refused, and the new rows naming it went with it), by
    // kind and temporary ID: the views that show them let them go too.
    QList<QPair<TDataKind, qint64>> GoneNew;
};

// Applies the change logs of Kinds (default: every kind) to the server
// through Exchange; Done gets the result on the main thread at the end (a
// cancel of the exchange ends it with the text "Cancelled").
void StartSharedApply(TSharedAccessClient& client, const QList<TDataKind>& kinds, TDoorExchange& exchange,
                      std::function<void(const TApplyResult& result)> done);
// The same, blocking.
TApplyResult ApplySharedUpdates(TSharedAccessClient& client, const QList<TDataKind>& kinds = {});

// Fetches the rows of Kinds from the server and replaces the cached ones,
// all of them or none. A dataset with changes not yet applied is left as it
// is: an error that says to apply or cancel them first. Done gets the error
// text, empty on success.
void StartSharedRefresh(TSharedAccessClient& client, const QList<TDataKind>& kinds, TDoorExchange& exchange,
                        std::function<void(const QString& errorText)> done);
// The same for one kind, blocking.
bool RefreshSharedDataSet(TSharedAccessClient& client, TDataKind kind, QString* errorText);
