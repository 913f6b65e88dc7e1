#pragma once
// The dialog that asks what to do with a row the paging server refused when
// a shared address book's changes were applied: the server's reason, the
// row as this client has it beside the server's row, and the answers skip,
// abort, merge, correct (with the values edited in the local column),
// cancel and refresh. For an edit of a row another user deleted it says
// what Merge and Correct do then (keep the edit as a new row). Main thread
// only.

#include "data/sharedapply.h"

#include <QDialog>

class QButtonGroup;
class QTableWidget;

class TFormReconcileError : public QDialog {
    Q_OBJECT
public:
    explicit TFormReconcileError(const TReconcileRequest& request, QWidget* parent = nullptr);

    TReconcileAction Action() const;
    // The local column as edited (for Correct).
    QVariantMap CorrectedValues() const;

private:
    void UpdateEditing();

    TReconcileRequest m_request;
    QTableWidget* m_grid = nullptr;
    QButtonGroup* m_actions = nullptr;
};

// Makes the dialog the answer to every refused row of an apply.
void InstallReconcileDialog();
