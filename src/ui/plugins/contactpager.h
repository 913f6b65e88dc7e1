#pragma once
// Contact address editors whose address is a pager ID: TAP Modem, PACNET and
// TAP Direct contacts (types 1 to 3, one class), SNPP (type 6) and WCTP
// (type 7). Each has the numeric-pager box that fills item 1.

#include "ui/plugins/baseembededitor.h"

class QCheckBox;
class QLineEdit;

// Item 0: the pager ID.
class TFormEmbedTapContactEditor final : public TFormBaseEmbedContactEditor {
    Q_OBJECT
public:
    explicit TFormEmbedTapContactEditor(QWidget* owner = nullptr);
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override;

private:
    QLineEdit* edtPagerID = nullptr;
    QCheckBox* chbNumeric = nullptr;
};

// Item 0 nested: pager ID, subject.
class TFormEmbedSNPPContactEditor final : public TFormBaseEmbedContactEditor {
    Q_OBJECT
public:
    explicit TFormEmbedSNPPContactEditor(QWidget* owner = nullptr);
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override;

private:
    QLineEdit* edtPagerID = nullptr;
    QLineEdit* edtSubject = nullptr;
    QCheckBox* chbNumeric = nullptr;
};

// Item 0 nested: pager ID, sender ID, misc info, and the notify flags
// queued, delivered and read ("-1" ticked, "0" not).
class TFormEmbedWCTPContactEditor final : public TFormBaseEmbedContactEditor {
    Q_OBJECT
public:
    explicit TFormEmbedWCTPContactEditor(QWidget* owner = nullptr);
    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    bool ValidateData() override;

private:
    QLineEdit* edtPagerID = nullptr;
    QLineEdit* edtSenderID = nullptr;
    QLineEdit* edtMiscInfo = nullptr;
    QCheckBox* chbNotifyQueued = nullptr;
    QCheckBox* chbNotifyDelivered = nullptr;
    QCheckBox* chbNotifyRead = nullptr;
    QCheckBox* chbNumeric = nullptr;
};
