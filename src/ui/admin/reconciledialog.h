#pragma once
// The dialog that asks what to do with a row the paging server refused when
// a shared address book's changes were applied: the server's reason, the
// row as this client has it beside the server's row, and the answers skip,
// abort, merge, correct (with the values edited in the local column),
// cancel and refresh. A corrected value its field cannot take is refused
// in the dialog. For an edit of a row another user deleted it says
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
    // The local column as edited (for Correct), each value in its field's
    // kind.
    QVariantMap CorrectedValues() const;

private:
    void UpdateEditing();
    // OK: a corrected value its field cannot take is refused here, with a
    // box that names it, and the dialog stays open on that value.
    void TryAccept();
    // The value Text stands for in the field Name; false when the field
    // cannot take it (Fault says why).
    bool ReadValue(const QString& name, const QString& text, QVariant* value, QString* fault) const;

    TReconcileRequest m_request;
    QTableWidget* m_grid = nullptr;
    QButtonGroup* m_actions = nullptr;
};

// Makes the dialog the answer to every refused row of an apply.
void InstallReconcileDialog();
