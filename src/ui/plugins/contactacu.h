#pragma once
// Contact address editor of ACU (type 9). Item 0 nested: ACU IP, ACU port,
// local port, command type (entry index), pager ID; item 1 always "false".
// The pager ID shows only for the command type "IPP" but is always written.

#include "ui/plugins/baseembededitor.h"

class QComboBox;
class QFormLayout;
class QLineEdit;

class TFormEmbedACUContactEditor final : public TFormBaseEmbedContactEditor {
    Q_OBJECT
public:
    explicit TFormEmbedACUContactEditor(QWidget* owner = nullptr);
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    // The trimmed ACU IP must not be empty.
    bool ValidateData() override;

private:
    // Shows the pager ID for "IPP" (index 0) only.
    void cbbCommandTypeChange();

    QFormLayout* m_form = nullptr;
    QLineEdit* edtAcuIP = nullptr;
    QLineEdit* edtAcuPort = nullptr;
    QLineEdit* edtLocalPort = nullptr;
    QComboBox* cbbCommandType = nullptr;
    QLineEdit* edtPagerID = nullptr;
};
