#pragma once
// The recipients pane: the list of the next message's recipients above the
// message editor. It creates and owns the program-wide RecipientList and
// shows it in lvRecipients; its commands remove and select rows. The column
// widths are kept in "FormSettings.ini" (section "TFormRecipients"); the
// Recipient column widens to show each added name in full until the
// operator sizes it.

#include <QAction>
#include <QMenu>
#include <QTreeView>
#include <QWidget>

class TNRecipientList;

class TFormRecipients : public QWidget {
    Q_OBJECT
public:
    explicit TFormRecipients(QWidget* parent = nullptr);
    ~TFormRecipients() override;

    TNRecipientList* List() const { return m_list; }
    // Enables the commands by the number of rows and selected rows (also run
    // whenever the application is idle).
    void UpdateActions();

    QTreeView* lvRecipients = nullptr;
    QMenu* mnuRecipients = nullptr;
    QAction* actAddContacts = nullptr;  // F4: pick contacts in their list window
    QAction* actAddGroups = nullptr;    // F5: pick groups
    QAction* actRemoveSelected = nullptr;
    QAction* actRemoveAll = nullptr;
    QAction* actSelectAll = nullptr;
    QAction* actClearSelection = nullptr;

private:
    void LoadColumnWidths();
    void SaveColumnWidths() noexcept;
    // Widens the Recipient column to the names of the rows First to Last.
    void FitNames(int first, int last);

    TNRecipientList* m_list = nullptr;  // owned
    bool m_fitNames = true;
    bool m_fittingNames = false;  // the pane itself sets a width
};

// Empties the program-wide recipient list (after the address books were
// reloaded, its recipients refer to clients that are gone).
void ClearRecipients();
