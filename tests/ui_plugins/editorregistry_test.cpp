#include "ui/plugins/editorregistry.h"
#include "ui/plugins/carrieracu.h"
#include "ui/plugins/carrierpacnet.h"
#include "ui/plugins/carriertap.h"
#include "ui/plugins/contactpager.h"
#include "ui/plugins/databaselocal.h"
#include "ui/plugins/databaseshared.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/servercom.h"
#include "ui/plugins/servertcp.h"

#include "support/messageanswerer.h"

#include <gtest/gtest.h>
#include <memory>

#include "editorfixture.h"

namespace {
// Every test starts from empty registries, as the program does at start-up.
class EditorRegistry : public ::testing::Test {
protected:
    void SetUp() override { ClearAll(); }
    void TearDown() override { ClearAll(); }
    static void ClearAll()
    {
        CarrierEditorsList().Clear();
        ContactEditorsList().Clear();
        DatabaseEditorsList().Clear();
        ServerEditorsList().Clear();
    }
    static QList<int> Numbers(const TBaseEmbedEditorsList& list)
    {
        QList<int> numbers;
        TEmbedEditorRec rec;
        for (int i = 0; i < list.GetCount(); ++i) {
            list.GetItem(i, rec);
            numbers << rec.TypeID;
        }
        return numbers;
    }
};
}  // namespace

TEST_F(EditorRegistry, StartUpRegistersInTheProgramOrder)
{
    MessageAnswerer answerer;
    RegisterEmbeddedEditors();
    EXPECT_TRUE(answerer.Texts().isEmpty());
    EXPECT_EQ(Numbers(CarrierEditorsList()), QList<int>({3, 2, 1, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Numbers(ContactEditorsList()), QList<int>({1, 3, 2, 4, 5, 6, 7, 8, 9}));

    TEmbedEditorRec rec;
    ASSERT_TRUE(CarrierEditorsList().FindByTypeID(2, rec));
    EXPECT_EQ(rec.Name, QStringLiteral("Telecom NZ PACNET"));
    EXPECT_EQ(rec.EditorClass->ClassName, QStringLiteral("TFormCarrierPacnet"));
    ASSERT_TRUE(ContactEditorsList().FindByTypeID(2, rec));
    EXPECT_EQ(rec.Name, QStringLiteral("PACNET (Telecom NZ)"));

    // Types 1 to 3 share one contact editor class; every other type has its own.
    const TEmbedEditorClass* tap = GetContactEditorFormClass(1);
    ASSERT_NE(tap, nullptr);
    EXPECT_EQ(tap, GetContactEditorFormClass(2));
    EXPECT_EQ(tap, GetContactEditorFormClass(3));
    EXPECT_EQ(tap, EmbedEditorClass<TFormEmbedTapContactEditor>());
    EXPECT_NE(tap, GetContactEditorFormClass(6));
    EXPECT_EQ(GetCarrierEditorFormClass(0), nullptr);
    EXPECT_EQ(GetCarrierEditorFormClass(10), nullptr);
    EXPECT_EQ(GetDatabaseEditorFormClass(1), EmbedEditorClass<TFormEmbedAccessLocalEditor>());
    EXPECT_EQ(GetDatabaseEditorFormClass(2), EmbedEditorClass<TFormEmbedAccessSharedEditor>());
    EXPECT_EQ(GetDatabaseEditorFormClass(3), nullptr);
    EXPECT_EQ(GetServerEditorFormClass(1), EmbedEditorClass<TFormTcpServerEmbedEditor>());
    EXPECT_EQ(GetServerEditorFormClass(2), EmbedEditorClass<TFormComServerEmbedEditor>());

    // A class reference creates its editor.
    std::unique_ptr<TFormBaseEmbedEditor> editor(GetCarrierEditorFormClass(9)->Create(nullptr));
    EXPECT_NE(dynamic_cast<TFormCarrierACU*>(editor.get()), nullptr);
}

// What a host stores for a new record whose editor was left as first shown
// must open again as it was: no warning, no load error, the same text.
TEST_F(EditorRegistry, EveryEditorsDefaultsOpenAgainUnchanged)
{
    MessageAnswerer answerer;
    RegisterEmbeddedEditors();
    for (const TBaseEmbedEditorsList* list : std::initializer_list<const TBaseEmbedEditorsList*>{
             &CarrierEditorsList(), &ContactEditorsList(), &DatabaseEditorsList(), &ServerEditorsList()}) {
        TEmbedEditorRec rec;
        for (int i = 0; i < list->GetCount(); ++i) {
            list->GetItem(i, rec);
            const std::unique_ptr<TFormBaseEmbedEditor> created(rec.EditorClass->Create(nullptr));
            const QString stored = created->GetDataAsCSVString();
            const std::unique_ptr<TFormBaseEmbedEditor> opened(rec.EditorClass->Create(nullptr));
            EXPECT_EQ(EditorErrorOf([&] { opened->PutDataAsCSVString(stored); }), QString()) << rec.Name.toStdString();
            EXPECT_EQ(opened->GetDataAsCSVString(), stored) << rec.Name.toStdString();
            EXPECT_EQ(answerer.Texts(), QStringList()) << rec.Name.toStdString();
            answerer.Clear();
        }
    }
}

TEST_F(EditorRegistry, DuplicateRegistrationWarnsAndLeavesTheRegistry)
{
    MessageAnswerer answerer;
    RegisterEmbeddedEditors();
    EXPECT_FALSE(RegisterCarrierEditorForm(3, QStringLiteral("Other"), EmbedEditorClass<TFormCarrierTAPModem>()));
    ASSERT_EQ(answerer.Requests().size(), 1);
    EXPECT_EQ(answerer.Requests()[0].Text,
              QStringLiteral("CarrierType \"Other\" (with TypeID = 3) is already registered by the following Editor "
                             "Form: \"TFormCarrierTapDirect\""));
    EXPECT_EQ(answerer.Requests()[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(answerer.Requests()[0].Buttons, int(mbOK));
    EXPECT_EQ(CarrierEditorsList().GetCount(), 9);
    EXPECT_EQ(GetCarrierEditorFormClass(3), EmbedEditorClass<TFormCarrierTapDirect>());

    answerer.Clear();
    EXPECT_FALSE(RegisterContactEditorForm(4, QStringLiteral("SMS"), nullptr));
    EXPECT_FALSE(RegisterDatabaseEditorForm(1, QStringLiteral("Again"), nullptr));
    EXPECT_FALSE(RegisterServerEditorForm(2, QStringLiteral("Again"), nullptr));
    EXPECT_EQ(answerer.Texts(),
              QStringList({QStringLiteral("Embedded Contact Editor Form for CarrierType \"SMS\" (with TypeID = 4) is "
                                          "already registered by the following Editor Form: "
                                          "\"TFormEmbedSMSContactEditor\""),
                           QStringLiteral("Embedded Database Editor Form for Type \"Again\" (with TypeNo = 1) is "
                                          "already registered by the following Editor Form: "
                                          "\"TFormEmbedAccessLocalEditor\""),
                           QStringLiteral("Embedded Server Editor Form for Type \"Again\" (with TypeNo = 2) is "
                                          "already registered by the following Editor Form: "
                                          "\"TFormComServerEmbedEditor\"")}));
    // The server-type selector lists the registry in registration order.
    TEmbedEditorRec rec;
    ServerEditorsList().GetItem(0, rec);
    EXPECT_EQ(rec.Name, QStringLiteral("TCP Connection"));
    ServerEditorsList().GetItem(1, rec);
    EXPECT_EQ(rec.Name, QStringLiteral("COM Connection"));
    EXPECT_EQ(EditorErrorOf([&] { ServerEditorsList().GetItem(2, rec); }),
              QStringLiteral("List index out of bounds (2)"));
}

TEST_F(EditorRegistry, SecondStartUpRegistrationNamesEachUnit)
{
    MessageAnswerer answerer;
    RegisterEmbeddedEditors();
    RegisterEmbeddedEditors();
    const QStringList texts = answerer.Texts();
    // Each refused registration: the duplicate warning, then the unit's box.
    ASSERT_EQ(texts.size(), 44);
    EXPECT_EQ(texts[1], QStringLiteral("Error registering Server Editor Form(unit: \"frmTcpServerEmbedEditor\", "
                                       "class: \"TFormTcpServerEmbedEditor\" (TypeNo= SERVER_TYPE_TCP_NO)"));
    EXPECT_EQ(texts[5],
              QStringLiteral("Error registering Database Editor Form(unit: \"frmEmbedAccessLocalEditor\", "
                             "class: \"TFormEmbedAccessLocalEditor\" (TypeNo= DATABASE_TYPE_ACCESS_LOCAL_NO)"));
    EXPECT_EQ(texts[7], QStringLiteral("Error registering Carrier Editor Form(unit: \"frmCarrierTapDirect\", class: "
                                       "\"TFormCarrierTapDirect\" (TypeID= CARRIER_TYPE_TAP_DIRECT_ID)"));
    EXPECT_EQ(texts[13], QStringLiteral("Error registering Contact Editor Form(unit: \"frmEmbedTapContactEditor\", "
                                        "class: \"TFormEmbedTapContactEditor\" (TypeID= "
                                        "CARRIER_TYPE_TAP_DIRECT_ACCESS_ID)"));
    EXPECT_EQ(texts[23], QStringLiteral("Error registering Contact Editor Form(unit: \"frmEmbedSMSContactEditor\", "
                                        "class: \"TFormEmbedSMSContactEditor\" (TypeID= CARRIER_TYPE_SMS_ID)"));
    EXPECT_EQ(CarrierEditorsList().GetCount(), 9);
    EXPECT_EQ(ContactEditorsList().GetCount(), 9);
}

TEST_F(EditorRegistry, ServerTypeNames)
{
    EXPECT_EQ(ServerTypeNoToStr(1), QStringLiteral("TCP"));
    EXPECT_EQ(ServerTypeNoToStr(2), QStringLiteral("COM"));
    for (int n : {0, 3, 255})
        EXPECT_EQ(ServerTypeNoToStr(quint8(n)), QStringLiteral("UNKNOWN"));
}

TEST_F(EditorRegistry, CarrierLengthWithoutCreatingAnEditor)
{
    // The class operation answers without a form.
    EXPECT_EQ(EmbedEditorClass<TFormCarrierPacnet>()->GetMaxLengthIndex(), 1);
    EXPECT_EQ(EmbedEditorClass<TFormCarrierACU>()->GetMaxLengthIndex(), 3);
    EXPECT_EQ(EmbedEditorClass<TFormEmbedTapContactEditor>()->GetMaxLengthIndex, nullptr);

    EXPECT_EQ(CarrierMaxLengthIndex(4), -1);
    EXPECT_EQ(CarrierMaxLengthFromSettings(4, QStringLiteral(",,160,19200,\"8,N,1\",0")), 0);

    MessageAnswerer answerer;
    RegisterEmbeddedEditors();
    const QList<int> indexes{2, 1, 2, 2, 0, 2, 2, 2, 3};
    for (int type = 1; type <= 9; ++type)
        EXPECT_EQ(CarrierMaxLengthIndex(type), indexes[type - 1]) << type;
    EXPECT_EQ(CarrierMaxLengthIndex(0), -1);
    EXPECT_EQ(CarrierMaxLengthIndex(10), -1);
    // Not truncated onto type 1.
    EXPECT_EQ(CarrierMaxLengthIndex(257), -1);

    EXPECT_EQ(CarrierMaxLengthFromSettings(4, QStringLiteral(",,160,19200,\"8,N,1\",0")), 160);
    EXPECT_EQ(CarrierMaxLengthFromSettings(2, QStringLiteral(",120,1200,\"7,E,1\",,")), 120);
    EXPECT_EQ(CarrierMaxLengthFromSettings(9, QStringLiteral("-1,,,64")), 64);
    // SMTP's index names the host: no limit unless the host is a number.
    EXPECT_EQ(CarrierMaxLengthFromSettings(5, QStringLiteral("smtp.example.com,25,-1,x,y")), 0);
    // A text shorter than the layout: no limit, never a read past the end.
    EXPECT_EQ(CarrierMaxLengthFromSettings(9, QStringLiteral("-1,,")), 0);
    EXPECT_EQ(CarrierMaxLengthFromSettings(1, QString()), 0);
    EXPECT_EQ(CarrierMaxLengthFromSettings(1, QStringLiteral(",,abc,1200,\"7,E,1\"")), 0);
    EXPECT_EQ(CarrierMaxLengthFromSettings(12, QStringLiteral("1,2,3,4")), 0);

    // The recipient model's form tells "no editor" from "no length item".
    EXPECT_EQ(CarrierRecipientMaxLength(12, QStringLiteral("1,2,3,4")), 2147483647);
    EXPECT_EQ(CarrierRecipientMaxLength(9, QStringLiteral("-1,,")), 0);
    EXPECT_EQ(CarrierRecipientMaxLength(4, QStringLiteral(",,160,19200,\"8,N,1\",0")), 160);
}
