#pragma once
// Settings editor of a local address book (database type 1, "MS Access"):
// one item, the folder that holds "Tovix2Database.mdb".

#include "ui/plugins/baseembededitor.h"

class QLineEdit;
class QPushButton;

class TFormEmbedAccessLocalEditor final : public TFormBaseDatabaseEmbedEditor {
    Q_OBJECT
public:
    explicit TFormEmbedAccessLocalEditor(QWidget* owner = nullptr);

    // The folder as typed, trimmed.
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    // The folder holds "Tovix2Database.mdb".
    bool ValidateData() override;

    // The address-book file inside Folder (with or without a trailing
    // separator).
    static QString DatabaseFilePath(const QString& folder);

public slots:
    void btnTestConnectionClick();
    void btnOpenDialogClick();

private:
    QLineEdit* edtFolder = nullptr;
    QPushButton* btnOpenDialog = nullptr;
    QPushButton* btnTestConnection = nullptr;
};
