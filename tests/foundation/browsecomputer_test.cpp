#include "foundation/browsecomputer.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QHostInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
void WriteAll(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

// Drives the modal dialog that opens next.
void WhenDialogOpens(std::function<void(TNBrowseComputerDialog*)> action)
{
    QTimer::singleShot(0, [action] {
        if (auto* d = qobject_cast<TNBrowseComputerDialog*>(QApplication::activeModalWidget()))
            action(d);
    });
}
}  // namespace

TEST(BrowseComputer, ListsTheLocalHostAndTheKnownNames)
{
    TempFolder dir;
    WriteAll(dir.File("hosts"),
             "127.0.0.1\tlocalhost\n"
             "::1 localhost ip6-localhost ip6-loopback\n"
             "# 10.0.0.9 commented\n"
             "10.0.0.5  pager-server  pager # inline comment\n"
             "10.0.0.6\tZeta\n"
             "10.0.0.7 PAGER\n");
    WriteAll(dir.File("resolv.conf"),
             "nameserver 10.0.0.1\nsearch office.example lab.example\ndomain office.example\n");
    const QStringList names = KnownComputerNames(dir.File("hosts"), dir.File("resolv.conf"));
    EXPECT_EQ(names.value(0), QHostInfo::localHostName());
    EXPECT_EQ(names.mid(1), QStringList({"lab.example", "office.example", "pager", "pager-server", "Zeta"}));
    EXPECT_EQ(KnownComputerNames(dir.File("none"), dir.File("none")), QStringList({QHostInfo::localHostName()}));
}

TEST(BrowseComputer, DialogPicksFromTheListOrTheTextField)
{
    TNBrowseComputerDialog dialog({"alpha", "beta"});
    EXPECT_EQ(dialog.windowTitle(), "Select Computer");
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    dialog.List()->setCurrentRow(1);
    EXPECT_EQ(dialog.ComputerName(), "beta");
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    dialog.NameEdit()->clear();
    QTest::keyClicks(dialog.NameEdit(), "  gamma ");
    EXPECT_EQ(dialog.ComputerName(), "gamma");
}

TEST(BrowseComputer, OkSetsTheNameCancelLeavesIt)
{
    QString name = QStringLiteral("unchanged");
    WhenDialogOpens([](TNBrowseComputerDialog* d) { d->reject(); });
    EXPECT_FALSE(BrowseForComputer(name));
    EXPECT_EQ(name, "unchanged");

    WhenDialogOpens([](TNBrowseComputerDialog* d) {
        d->NameEdit()->setText(QStringLiteral("paging-host"));
        QTest::mouseClick(d->OkButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(BrowseForComputer(name));
    EXPECT_EQ(name, "paging-host");
}

TEST(BrowseComputer, StartsOnTheNameAlreadyInTheField)
{
    TNBrowseComputerDialog known({"alpha", "beta"}, QStringLiteral(" BETA "));
    EXPECT_EQ(known.List()->currentRow(), 1);
    EXPECT_EQ(known.ComputerName(), "BETA");

    // A name the list lacks is still where the picker starts, also once the
    // list takes the focus (which would make its first row current).
    QString name = QStringLiteral("paging-host");
    WhenDialogOpens([](TNBrowseComputerDialog* d) {
        EXPECT_EQ(d->List()->currentItem() ? d->List()->currentItem()->text() : QString(), "paging-host");
        d->List()->setFocus();
        EXPECT_EQ(d->ComputerName(), "paging-host");
        QTest::keyClick(d->List(), Qt::Key_Home);
        EXPECT_EQ(d->ComputerName(), d->List()->item(0)->text());
        d->reject();
    });
    EXPECT_FALSE(BrowseForComputer(name));
    EXPECT_EQ(name, "paging-host");
}
