// The recipient model on real address-book files: duplicates, two books,
// the carrier's length limit (a group's from its first member), details,
// list order, removal and the dataset states it leaves behind.
#include "data/recipients.h"
#include "data/bookbuilder.h"
#include "data/datasetstate.h"
#include "data/localaccessclient.h"
#include "db/dataset.h"
#include "foundation/dmoptions.h"
#include "platform/commatext.h"
#include "support/messageanswerer.h"
#include "support/testdatabases.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <memory>

namespace {

// The test's carrier rule: type 4 keeps its limit in item 3, as the SMS
// editor does; a text with fewer items names none (0); type 9 has no editor.
qint32 TestCarrierLimit(int typeNo, const QString& data)
{
    if (typeNo == 9)
        return NoMaxMessageLength;
    const QStringList items = CommaTextToList(data);
    if (items.size() <= 3)
        return 0;
    bool ok = false;
    const int value = items[3].toInt(&ok);
    return ok ? value : 0;
}

class RecipientsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCarrierMaxLengthHook(&TestCarrierLimit);
        second = dbs.AddAddressBook(QStringLiteral("second"));
        {
            TBookBuilder book(dbs.AddressBookPath());
            const qint32 server = book.Server(QStringLiteral("S"), 1, QStringLiteral("127.0.0.1,215,localhost"));
            sms160 = book.Carrier(QStringLiteral("SMS 160"), 4, server, QStringLiteral("a,b,c,160"));
            sms100 = book.Carrier(QStringLiteral("SMS 100"), 4, server, QStringLiteral("a,b,c,100"));
            shortText = book.Carrier(QStringLiteral("Short"), 4, server, QStringLiteral("a,b"));
            noEditor = book.Carrier(QStringLiteral("ACU"), 9, server, QStringLiteral("x"));
            alice = book.Contact(QStringLiteral("Alice"), sms160);
            bob = book.Contact(QStringLiteral("bob"), sms100);
            carol = book.Contact(QStringLiteral("Carol"), shortText);
            dave = book.Contact(QStringLiteral("Dave"), noEditor);
            book.Exec(QStringLiteral("update Contacts set FirstName = 'Alice', LastName = 'Smith' where ID = :ID"),
                      {{QStringLiteral("ID"), alice}});
            staff = book.Group(QStringLiteral("Staff"));
            book.Exec(QStringLiteral("update Groups set Description = 'Day shift' where ID = :ID"),
                      {{QStringLiteral("ID"), staff}});
            book.Member(staff, alice);
            book.Member(staff, bob);
            empty = book.Group(QStringLiteral("Empty"));
        }
        {
            TBookBuilder book(second + QStringLiteral("Tovix2Database.mdb"));
            const qint32 server = book.Server(QStringLiteral("S"), 1, QStringLiteral("127.0.0.1,215,localhost"));
            const qint32 carrier = book.Carrier(QStringLiteral("SMS 120"), 4, server, QStringLiteral("a,b,c,120"));
            otherAlice = book.Contact(QStringLiteral("Alice"), carrier);
        }
        local = CreateDataClient(&DataClientClassOf<TLocalAccessClient>, QStringLiteral("Local Database"),
                                 QStringLiteral("{00000000-0000-0000-0000-000000000001}"),
                                 CommaTextFromList({dbs.Folder()}));
        other = CreateDataClient(&DataClientClassOf<TLocalAccessClient>, QStringLiteral("Other"),
                                 QStringLiteral("{00000000-0000-0000-0000-000000000002}"), CommaTextFromList({second}));
        ASSERT_TRUE(local);
        ASSERT_TRUE(other);
        list = std::make_unique<TNRecipientList>();
        tester = std::make_unique<QAbstractItemModelTester>(list.get(),
                                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    void TearDown() override
    {
        tester.reset();
        list.reset();
        delete other;
        delete local;
        SetCarrierMaxLengthHook(nullptr);
        AddDisplayNameToMessage = false;
        PrefixAddInEditor = false;
    }
    QStringList Captions() const
    {
        QStringList names;
        for (int i = 0; i < list->GetCount(); ++i)
            names << list->GetRecipient(i)->Name;
        return names;
    }

    TestDatabases dbs;
    QString second;
    qint32 sms160 = 0, sms100 = 0, shortText = 0, noEditor = 0;
    qint32 alice = 0, bob = 0, carol = 0, dave = 0, staff = 0, empty = 0, otherAlice = 0;
    TBaseDataClient* local = nullptr;
    TBaseDataClient* other = nullptr;
    std::unique_ptr<TNRecipientList> list;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

}  // namespace

TEST_F(RecipientsTest, SecondAddAsksAndAddsACopyOnlyOnYes)
{
    MessageAnswerer answers;
    EXPECT_TRUE(list->AddItem(nkContact, QStringLiteral("Alice"), alice, local));
    EXPECT_TRUE(answers.Texts().isEmpty());

    answers.QueueAnswer(mbNo);
    EXPECT_FALSE(list->AddItem(nkContact, QStringLiteral("Alice"), alice, local));
    ASSERT_EQ(answers.Requests().size(), 1);
    EXPECT_EQ(answers.Requests()[0].Text,
              QStringLiteral("Recipients List already contains the Contact \"Alice\" with the same ID=%1\r\rDo you "
                             "want to add a copy ?")
                  .arg(alice));
    EXPECT_EQ(answers.Requests()[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(answers.Requests()[0].Buttons, mbYes | mbNo);
    EXPECT_EQ(list->GetCount(), 1);

    answers.QueueAnswer(mbYes);
    EXPECT_FALSE(list->AddItem(nkContact, QStringLiteral("Alice"), alice, local));
    EXPECT_EQ(list->GetCount(), 2);

    // RemoveItem takes every row of that recipient and nothing else.
    EXPECT_TRUE(list->AddItem(nkContact, QStringLiteral("bob"), bob, local));
    list->RemoveItem(nkContact, alice, local);
    EXPECT_EQ(Captions(), QStringList{QStringLiteral("bob")});
}

TEST_F(RecipientsTest, SameIdFromTwoAddressBooksIsNoDuplicate)
{
    MessageAnswerer answers;
    // The fixture's files are fresh, so both books number their first
    // contact alike.
    ASSERT_EQ(alice, otherAlice);
    EXPECT_TRUE(list->AddItem(nkContact, QStringLiteral("Alice"), alice, local));
    EXPECT_TRUE(list->AddItem(nkContact, QStringLiteral("Alice"), otherAlice, other));
    EXPECT_TRUE(answers.Texts().isEmpty());
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->data(list->index(0, TNRecipientList::colDataBase)).toString() +
                  list->data(list->index(1, TNRecipientList::colDataBase)).toString(),
              QStringLiteral("Local DatabaseOther"));
}

TEST_F(RecipientsTest, CarrierLimits)
{
    list->AddItem(nkContact, QStringLiteral("Alice"), alice, local);
    list->AddItem(nkContact, QStringLiteral("Carol"), carol, local);
    list->AddItem(nkContact, QStringLiteral("Dave"), dave, local);
    list->AddItem(nkContact, QStringLiteral("Alice"), otherAlice, other);
    list->AddItem(nkGroup, QStringLiteral("Staff"), staff, local);
    list->AddItem(nkGroup, QStringLiteral("Empty"), empty, local);
    auto limitOf = [&](const QString& name, TBaseDataClient* book) {
        for (int i = 0; i < list->GetCount(); ++i)
            if (list->GetRecipient(i)->Name == name && list->GetRecipient(i)->Database == book)
                return list->GetRecipient(i)->MaxMessageLength;
        return -1;
    };
    EXPECT_EQ(limitOf(QStringLiteral("Alice"), local), 160);
    EXPECT_EQ(limitOf(QStringLiteral("Carol"), local), 0);  // too few items: no limit, no read past the end
    EXPECT_EQ(limitOf(QStringLiteral("Dave"), local), NoMaxMessageLength);  // no editor for the type
    EXPECT_EQ(limitOf(QStringLiteral("Alice"), other), 120);
    // A group's limit is its first member's (160), not the tightest (100).
    EXPECT_EQ(limitOf(QStringLiteral("Staff"), local), 160);
    EXPECT_EQ(limitOf(QStringLiteral("Empty"), local), NoMaxMessageLength);
    // 160, 0, none, 120, 160, none: the tightest of 1 or more.
    EXPECT_EQ(list->GetMinMaxMessageLength(), 120);
    EXPECT_EQ(list->GetMaxNameLength(), 5);
}

TEST_F(RecipientsTest, EmptyListAndNoHook)
{
    EXPECT_EQ(list->GetMinMaxMessageLength(), NoMaxMessageLength);
    EXPECT_EQ(list->GetMaxNameLength(), 0);
    SetCarrierMaxLengthHook(nullptr);
    list->AddItem(nkContact, QStringLiteral("Alice"), alice, local);
    EXPECT_EQ(list->GetRecipient(0)->MaxMessageLength, NoMaxMessageLength);
}

TEST_F(RecipientsTest, DetailsAndImages)
{
    list->AddItem(nkContact, QStringLiteral("Alice"), alice, local);
    list->AddItem(nkGroup, QStringLiteral("Staff"), staff, local);
    list->AddItem(nkContact, QStringLiteral("bob"), bob, local);
    EXPECT_EQ(Captions(), (QStringList{QStringLiteral("Staff"), QStringLiteral("Alice"), QStringLiteral("bob")}));
    EXPECT_EQ(list->GetRecipient(0)->Details, QStringLiteral("Day shift"));
    EXPECT_EQ(list->GetRecipient(1)->Details, QStringLiteral("Alice Smith,,"));
    EXPECT_EQ(list->GetRecipient(2)->Details, QStringLiteral(" ,,"));
    EXPECT_EQ(list->data(list->index(0, 0), TNRecipientList::ImageIndexRole).toInt(), 3);
    EXPECT_EQ(list->data(list->index(1, 0), TNRecipientList::ImageIndexRole).toInt(), 5);
    EXPECT_EQ(list->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Details"));
}

TEST_F(RecipientsTest, DatasetsAreLeftAsTheyWere)
{
    TNDataSet* contacts = local->GetDataSet(dkContacts);
    TNDataSet* carriers = local->GetDataSet(dkCarriers);
    TNDataSet* assigns = local->GetDataSet(dkGroupAssigns);
    for (TNDataSet* d : {contacts, carriers, assigns})
        d->Close();
    list->AddItem(nkContact, QStringLiteral("Alice"), alice, local);
    // (Opening the contacts opened the carriers their lookup field reads;
    // those stay open, as that rule has it.)
    EXPECT_FALSE(contacts->Active());
    // An open dataset stays open, at its row.
    TNDataSet* groups = local->GetDataSet(dkGroups);
    groups->Open();
    groups->Last();
    const int recNo = groups->RecNo();
    ASSERT_GT(recNo, 1);
    list->AddItem(nkGroup, QStringLiteral("Staff"), staff, local);
    EXPECT_FALSE(assigns->Active());
    EXPECT_TRUE(groups->Active());
    EXPECT_EQ(groups->RecNo(), recNo);
}

TEST_F(RecipientsTest, ListOrderRule)
{
    TNSuperRecipient a(nkContact, 1, nullptr, 0, QStringLiteral("abc"));
    TNSuperRecipient b(nkContact, 2, nullptr, 0, QStringLiteral("ABCD"));
    TNSuperRecipient c(nkContact, 3, nullptr, 0, QStringLiteral("_x"));
    TNSuperRecipient g(nkGroup, 4, nullptr, 0, QStringLiteral("zz"));
    EXPECT_LT(TNRecipientList::ListCompare(a, b), 0);  // a prefix first, case aside
    EXPECT_EQ(TNRecipientList::ListCompare(a, TNSuperRecipient(nkContact, 9, nullptr, 0, QStringLiteral("ABC"))), 0);
    EXPECT_GT(TNRecipientList::ListCompare(a, g), 0);  // groups first
    // "_" (95) sorts after the folded capitals (65..90), as by code.
    EXPECT_GT(TNRecipientList::ListCompare(c, a), 0);
}

TEST_F(RecipientsTest, SelectionAndEditorHooks)
{
    int recounts = 0;
    QStringList inserted;
    list->SetOnCountersChanged([&] { ++recounts; });
    list->SetOnInsertEditorText([&](const QString& text) { inserted << text; });
    list->AddItem(nkContact, QStringLiteral("Alice"), alice, local);
    EXPECT_TRUE(inserted.isEmpty());
    AddDisplayNameToMessage = true;
    PrefixAddInEditor = true;
    FollowedByChar = QStringLiteral(": ");
    list->AddItem(nkContact, QStringLiteral("bob"), bob, local);
    FollowedByChar = QStringLiteral(":");
    EXPECT_EQ(inserted, QStringList{QStringLiteral("bob: ")});
    EXPECT_EQ(recounts, 2);
    // Each new row is selected; earlier selections stay.
    EXPECT_EQ(list->GetSelCount(), 2);
    list->SetSelected(0, false);
    list->RemoveSelected();
    EXPECT_EQ(Captions(), QStringList{QStringLiteral("Alice")});
    EXPECT_EQ(recounts, 3);
    list->RemoveItem(nkContact, alice, local);  // no recount
    EXPECT_EQ(recounts, 3);
    list->AddItem(nkContact, QStringLiteral("Alice"), alice, local);
    list->ClearSelection();
    EXPECT_EQ(list->GetSelCount(), 0);
    list->SelectAll();
    EXPECT_EQ(list->GetSelCount(), 1);
    list->Clear();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(recounts, 5);
}
