#pragma once
// TFormSortOrder ("  Set Custom Sort Order"): picks the fields a list is
// sorted by, in order, from the fields available. A modal dialog derived
// from the form base with its designed size as its minimum. No command of
// the program opens it yet. Main thread only.

#include "foundation/formbase.h"

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

class TFormSortOrder : public QDialog, public TFormBase {
    Q_OBJECT
public:
    explicit TFormSortOrder(QWidget* parent = nullptr);
    ~TFormSortOrder() override;

    static constexpr int DesignWidth = 420;
    static constexpr int DesignHeight = 300;

    // The fields on offer, and those already chosen (taken off the offer).
    void SetFields(const QStringList& available, const QStringList& sortBy);
    QStringList AvailableFields() const;
    QStringList SortFields() const;

    // The move buttons: the selected field to the other list, all fields,
    // and the selected chosen field one place up or down.
    void MoveToSortBy();
    void MoveToAvailable();
    void MoveAllToSortBy();
    void MoveAllToAvailable();
    void MoveUp();
    void MoveDown();

    QListWidget* lbAvailable = nullptr;
    QListWidget* lbSortBy = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* btnAddAll = nullptr;
    QPushButton* btnRemoveAll = nullptr;
    QPushButton* btnUp = nullptr;
    QPushButton* btnDown = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    bool DesignSizeIsMinimum() const override { return true; }
};
