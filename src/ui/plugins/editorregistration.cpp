#include "ui/plugins/editorregistration.h"

#include "data/datakinds.h"
#include "platform/messagedlg.h"
#include "ui/plugins/carrieracu.h"
#include "ui/plugins/carrierhostport.h"
#include "ui/plugins/carrierpacnet.h"
#include "ui/plugins/carriersms.h"
#include "ui/plugins/carriersmtp.h"
#include "ui/plugins/carriertap.h"
#include "ui/plugins/carriertypes.h"
#include "ui/plugins/contactacu.h"
#include "ui/plugins/contactaddress.h"
#include "ui/plugins/contactpager.h"
#include "ui/plugins/contactsmtp.h"
#include "ui/plugins/databaselocal.h"
#include "ui/plugins/databaseshared.h"
#include "ui/plugins/editorregistry.h"
#include "ui/plugins/servercom.h"
#include "ui/plugins/servertcp.h"

namespace {
enum class TEditorKind { Carrier, Contact, Database, Server };

struct TRegistration {
    TEditorKind Kind;
    quint8 Number;
    const char* NumberConstant;  // named in the error text
    const char* Name;
    const TEmbedEditorClass* EditorClass;
};

bool RegisterOne(const TRegistration& r)
{
    const QString name = QString::fromLatin1(r.Name);
    switch (r.Kind) {
        case TEditorKind::Carrier:
            return RegisterCarrierEditorForm(r.Number, name, r.EditorClass);
        case TEditorKind::Contact:
            return RegisterContactEditorForm(r.Number, name, r.EditorClass);
        case TEditorKind::Database:
            return RegisterDatabaseEditorForm(r.Number, name, r.EditorClass);
        case TEditorKind::Server:
            return RegisterServerEditorForm(r.Number, name, r.EditorClass);
    }
    return false;
}

// "Error registering Carrier Editor Form(unit: "frmCarrierTapDirect", class:
// "TFormCarrierTapDirect" (TypeID= CARRIER_TYPE_TAP_DIRECT_ID)": the unit is
// "frm" and the class name without its leading "TForm". The parenthesis
// opened after "Form" stays open, as the program has always shown it.
QString RegistrationErrorText(const TRegistration& r)
{
    static const char* const kindWords[] = {"Carrier", "Contact", "Database", "Server"};
    const bool byTypeId = r.Kind == TEditorKind::Carrier || r.Kind == TEditorKind::Contact;
    QString unit = r.EditorClass->ClassName;
    if (unit.startsWith(QLatin1String("TForm")))
        unit = unit.mid(5);
    return QStringLiteral("Error registering %1 Editor Form(unit: \"frm%2\", class: \"%3\" (%4= %5)")
        .arg(QString::fromLatin1(kindWords[int(r.Kind)]), unit, r.EditorClass->ClassName,
             byTypeId ? QStringLiteral("TypeID") : QStringLiteral("TypeNo"), QString::fromLatin1(r.NumberConstant));
}
}  // namespace

void RegisterEmbeddedEditors()
{
    using K = TEditorKind;
    const TEmbedEditorClass* tapContact = EmbedEditorClass<TFormEmbedTapContactEditor>();
    // The order is also the order of each registry's entries. The server
    // editors ("TCP Connection", "COM Connection") come first, then the
    // "MS Access" address-book editor before TAP Direct, and the
    // "Access (Shared)" one after the PACNET contact entry.
    const TRegistration registrations[] = {
        {K::Server, SERVER_TYPE_TCP_NO, "SERVER_TYPE_TCP_NO", "TCP Connection",
         EmbedEditorClass<TFormTcpServerEmbedEditor>()},
        {K::Server, SERVER_TYPE_COM_NO, "SERVER_TYPE_COM_NO", "COM Connection",
         EmbedEditorClass<TFormComServerEmbedEditor>()},
        {K::Database, DATABASE_TYPE_ACCESS_LOCAL_NO, "DATABASE_TYPE_ACCESS_LOCAL_NO", "MS Access",
         EmbedEditorClass<TFormEmbedAccessLocalEditor>()},
        {K::Carrier, CARRIER_TYPE_TAP_DIRECT_ID, "CARRIER_TYPE_TAP_DIRECT_ID", "TAP Direct",
         EmbedEditorClass<TFormCarrierTapDirect>()},
        {K::Carrier, CARRIER_TYPE_PACNET_ID, "CARRIER_TYPE_PACNET_ID", "Telecom NZ PACNET",
         EmbedEditorClass<TFormCarrierPacnet>()},
        {K::Contact, CARRIER_TYPE_TAP_MODEM_ID, "CARRIER_TYPE_TAP_MODEM_ID", "TAP Modem", tapContact},
        {K::Contact, CARRIER_TYPE_TAP_DIRECT_ACCESS_ID, "CARRIER_TYPE_TAP_DIRECT_ACCESS_ID", "TAP Modem", tapContact},
        {K::Contact, CARRIER_TYPE_PACNET_ID, "CARRIER_TYPE_PACNET_ID", "PACNET (Telecom NZ)", tapContact},
        {K::Database, DATABASE_TYPE_ACCESS_SHARED_NO, "DATABASE_TYPE_ACCESS_SHARED_NO", "Access (Shared)",
         EmbedEditorClass<TFormEmbedAccessSharedEditor>()},
        {K::Carrier, CARRIER_TYPE_TAP_MODEM_ID, "CARRIER_TYPE_TAP_MODEM_ID", "TAP Modem",
         EmbedEditorClass<TFormCarrierTAPModem>()},
        {K::Carrier, CARRIER_TYPE_SMS_ID, "CARRIER_TYPE_SMS_ID", "SMS", EmbedEditorClass<TFormCarrierSMS>()},
        {K::Contact, CARRIER_TYPE_SMS_ID, "CARRIER_TYPE_SMS_ID", "SMS", EmbedEditorClass<TFormEmbedSMSContactEditor>()},
        {K::Carrier, CARRIER_TYPE_SMTP_ID, "CARRIER_TYPE_SMTP_ID", "SMTP", EmbedEditorClass<TFormCarrierSMTP>()},
        {K::Contact, CARRIER_TYPE_SMTP_ID, "CARRIER_TYPE_SMTP_ID", "SMTP",
         EmbedEditorClass<TFormEmbedSMTPContactEditor>()},
        {K::Carrier, CARRIER_TYPE_SNPP_ID, "CARRIER_TYPE_SNPP_ID", "SNPP", EmbedEditorClass<TFormCarrierSNPP>()},
        {K::Contact, CARRIER_TYPE_SNPP_ID, "CARRIER_TYPE_SNPP_ID", "SNPP",
         EmbedEditorClass<TFormEmbedSNPPContactEditor>()},
        {K::Carrier, CARRIER_TYPE_WCTP_ID, "CARRIER_TYPE_WCTP_ID", "WCTP", EmbedEditorClass<TFormCarrierWCTP>()},
        {K::Contact, CARRIER_TYPE_WCTP_ID, "CARRIER_TYPE_WCTP_ID", "WCTP",
         EmbedEditorClass<TFormEmbedWCTPContactEditor>()},
        {K::Carrier, CARRIER_TYPE_MSG_ID, "CARRIER_TYPE_MSG_ID", "MSG", EmbedEditorClass<TFormCarrierMSG>()},
        {K::Contact, CARRIER_TYPE_MSG_ID, "CARRIER_TYPE_MSG_ID", "MSG", EmbedEditorClass<TFormEmbedMSGContactEditor>()},
        {K::Carrier, CARRIER_TYPE_ACU_ID, "CARRIER_TYPE_ACU_ID", "ACU", EmbedEditorClass<TFormCarrierACU>()},
        {K::Contact, CARRIER_TYPE_ACU_ID, "CARRIER_TYPE_ACU_ID", "ACU", EmbedEditorClass<TFormEmbedACUContactEditor>()},
    };
    for (const TRegistration& r : registrations)
        if (!RegisterOne(r))
            MessageDlg(RegistrationErrorText(r), TMsgDlgType::mtWarning, mbOK);
}
