#pragma once
// The contact, carrier and server editors: record editors that host the
// embedded settings editor of the record's type (the contact's carrier's
// type, the carrier's type, the server's connection type). Opened by their
// list windows for the list's current row. Main thread only.

#include "ui/admin/formbaseeditor.h"

class QComboBox;
class TNPickOnlyCombo;
class QLineEdit;
class TNDBEdit;
class TNDBLookupComboBox;
class TNDBMemo;

class TFormContactEditor : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormContactEditor(QWidget* owner, int mode, TNListForm* listForm);
    ~TFormContactEditor() override;

    bool IsModified() override;
    // The carrier chosen in the box: the previous carrier's settings text is
    // cached under its type, then the new carrier's type editor is embedded
    // (the previous one stays when that type has none).
    void CarrierChosen();

    TNDBEdit* dbedtDisplayName = nullptr;
    TNDBEdit* dbedtFirstNAme = nullptr;
    TNDBEdit* dbedtLastName = nullptr;
    TNDBEdit* dbedtCompany = nullptr;
    TNDBEdit* dbedtPosition = nullptr;
    TNDBLookupComboBox* dblcbCarriers = nullptr;
    TNDBMemo* dbmemCSVData = nullptr;

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8 typeNo) override;
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;

private:
    qint32 SelectedCarrier() const;
    bool CarrierType(qint32 carrierID, quint8& typeNo) const;
    void ShowCarrier(qint32 carrierID);

    void done(int result) override;

    qint32 m_selectedCarrierID = -1;
    qint32 m_shownCarrierID = -1;    // the carrier whose editor state is on screen
    qint32 m_closingCarrierID = -1;  // the carrier shown when the window closed
};

class TFormCarrierEditorNew : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormCarrierEditorNew(QWidget* owner, int mode, TNListForm* listForm);
    ~TFormCarrierEditorNew() override;

    bool IsModified() override;
    // The type chosen in the box: the shown type's text is cached, then the
    // new type's editor is embedded; a type with no editor puts the box and
    // the row back to the type whose editor is shown.
    void CarrierTypeChosen();

    QLineEdit* edtCarrierName = nullptr;
    TNDBLookupComboBox* dblcbCarrierType = nullptr;
    TNDBLookupComboBox* dblcbServers = nullptr;
    TNDBMemo* dbmemCsvData = nullptr;

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8 typeNo) override;
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;

private:
    int SelectedType() const;
    void SetRowType(int typeNo);

    int m_selectedTypeNo = -1;
    int m_shownTypeNo = -1;  // the type of the embedded editor
    qint32 m_selectedServerID = -1;
    TNDataSet* m_carrierTypes = nullptr;
    TNDataSet* m_servers = nullptr;
    bool m_carrierTypesWereOpen = false;
    quint64 m_carrierTypesBookmark = 0;
};

class TFormServerEditor : public TFormBaseEditor {
    Q_OBJECT
public:
    TFormServerEditor(QWidget* owner, int mode, TNListForm* listForm);
    ~TFormServerEditor() override;

    bool IsModified() override;
    // The connection type chosen in the box (the box takes no keys).
    void ConnectionTypeChosen();

    TNDBEdit* dbedtName = nullptr;
    TNPickOnlyCombo* cbConnectionType = nullptr;
    TNDBMemo* dbmemCSVData = nullptr;

protected:
    const TEmbedEditorClass* GetEmbeddedEditorClass(quint8 typeNo) override;
    bool ValidateInput() override;
    void AcceptChanges() override;
    QWidget* FirstControl() const override;

private:
    int SelectedType() const;
    void TypeCloseUp();

    QString m_initialName;
    int m_selectedTypeNo = 0;
    bool m_recordsWereOpen = false;
};
