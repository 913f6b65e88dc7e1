#pragma once
// TFormGroupEditor: a group's name and description and its members. Every
// contact of the group's address book is listed once, split between the
// non-members grid (ordered by name without regard to letter case) and the
// members grid (ordered with regard to it); ">" (Ctrl+M) and "<" (Ctrl+R)
// move the marked rows across. Nothing is written while the window is open:
// the groups list posts the group row and then AfterRecordPosted rewrites
// the group's membership rows in one change. Opened by the groups list for
// its current row. Main thread only.

#include "data/groupmembers.h"
#include "ui/admin/formbaseeditor.h"

#include <memory>

class QLineEdit;
class QSplitter;
class QToolButton;
class TNDBEdit;
class TNDBGrid;
class TNDBMemo;

class TFormGroupEditor : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormGroupEditor(QWidget* owner, int mode, TNListForm* listForm);
    ~TFormGroupEditor() override;

    bool IsModified() override;
    void AfterRecordPosted() override;

    // The list row's ID; -1 for a new group not posted yet.
    qint32 GetGroupID() const;
    void AddSelectedMembers();
    void RemoveSelectedMembers();
    TNGroupMembers& Membership() { return *m_membership; }

    TNDBEdit* dbedtName = nullptr;
    QLineEdit* edtDecription = nullptr;
    TNDBMemo* dbmemDescription = nullptr;
    QWidget* pnlEditMembers = nullptr;
    QWidget* pnlNonMembers = nullptr;
    QWidget* pnlMembers = nullptr;
    QSplitter* splSplitter = nullptr;
    TNDBGrid* dbgNonMembers = nullptr;
    TNDBGrid* dbgMembers = nullptr;
    QToolButton* sbAdd = nullptr;
    QToolButton* sbRemove = nullptr;
    QAction* actAddMember = nullptr;
    QAction* actRemoveMember = nullptr;

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8 typeNo) override;
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;
    void LoadFormSettings(QString& section) override;
    void SaveFormSettings(QString& section) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMemberPanels();
    void SetupMemberGridColumns(TNDBGrid* grid);
    void ArrangeMemberButtons();
    static void SelectRows(TNDBGrid* grid, const QList<TBookmark>& rows);

    std::unique_ptr<TNGroupMembers> m_membership;
    TNDataSource m_nonMembersSource;
    TNDataSource m_membersSource;
    bool m_shown = false;
    int m_nonMembersWidth = -1;  // stored width of pnlNonMembers, -1: none
};
