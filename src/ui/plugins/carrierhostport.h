#pragma once
// Carrier settings editors of the network gateways: SNPP (type 6), WCTP
// (type 7) and MSG, an HTTP SMS gateway (type 8). Items: host, port, largest
// message length, and for SNPP also login ID and password.

#include "ui/plugins/baseembededitor.h"

class QLineEdit;

class TFormCarrierHostPortBase : public TFormBaseCarrierEditor {
    Q_OBJECT
public:
    static int GetMaxLengthIndex() { return 2; }

    QString GetDataAsCSVString() const override;
    bool PutDataAsCSVString(const QString& data) override;
    // The trimmed port is a whole number in 0..65535.
    bool ValidateData() override;

protected:
    struct TLayout {
        QString Word;  // "SNPP", "WCTP", "MSG": in the captions and warning
        QString DefaultHost;
        QString DefaultPort;
        QString LengthCaption;
        QString DefaultLength;
        bool WithLogin;
    };
    TFormCarrierHostPortBase(QWidget* owner, const TLayout& layout);

private:
    QString m_word;
    QLineEdit* edtHost = nullptr;
    QLineEdit* edtPort = nullptr;
    QLineEdit* edtMaxMessLength = nullptr;
    QLineEdit* edtLoginID = nullptr;   // SNPP only
    QLineEdit* edtPassword = nullptr;  // SNPP only
};

class TFormCarrierSNPP final : public TFormCarrierHostPortBase {
    Q_OBJECT
public:
    explicit TFormCarrierSNPP(QWidget* owner = nullptr);
};

class TFormCarrierWCTP final : public TFormCarrierHostPortBase {
    Q_OBJECT
public:
    explicit TFormCarrierWCTP(QWidget* owner = nullptr);
};

class TFormCarrierMSG final : public TFormCarrierHostPortBase {
    Q_OBJECT
public:
    explicit TFormCarrierMSG(QWidget* owner = nullptr);
};
