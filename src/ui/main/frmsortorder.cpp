#include "ui/main/frmsortorder.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QStringList Items(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

void MoveCurrent(QListWidget* from, QListWidget* to)
{
    const int row = from->currentRow();
    if (row < 0)
        return;
    QListWidgetItem* item = from->takeItem(row);
    to->addItem(item);
    to->setCurrentItem(item);
    from->setCurrentRow(std::min(row, from->count() - 1));
}

void MoveAll(QListWidget* from, QListWidget* to)
{
    while (from->count() > 0)
        to->addItem(from->takeItem(0));
}

QPushButton* Button(const QString& caption, QWidget* parent, const char* name)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}
}  // namespace

TFormSortOrder::TFormSortOrder(QWidget* parent) : QDialog(parent), TFormBase(this)
{
    setObjectName(QStringLiteral("FormSortOrder"));
    setWindowTitle(QStringLiteral("  Set Custom Sort Order"));

    lbAvailable = new QListWidget(this);
    lbAvailable->setObjectName(QStringLiteral("lbAvailable"));
    lbSortBy = new QListWidget(this);
    lbSortBy->setObjectName(QStringLiteral("lbSortBy"));
    btnAdd = Button(QStringLiteral(">"), this, "btnAdd");
    btnRemove = Button(QStringLiteral("<"), this, "btnRemove");
    btnAddAll = Button(QStringLiteral(">>"), this, "btnAddAll");
    btnRemoveAll = Button(QStringLiteral("<<"), this, "btnRemoveAll");
    btnUp = Button(QStringLiteral("Up"), this, "btnUp");
    btnDown = Button(QStringLiteral("Down"), this, "btnDown");
    btnOK = Button(QStringLiteral("OK"), this, "btnOK");
    btnCancel = Button(QStringLiteral("Cancel"), this, "btnCancel");
    btnOK->setDefault(true);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (QPushButton* b : {btnAdd, btnRemove, btnAddAll, btnRemoveAll})
        middle->addWidget(b);
    middle->addStretch();
    auto* order = new QHBoxLayout;
    order->addStretch();
    order->addWidget(btnUp);
    order->addWidget(btnDown);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Available Fields : "), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Fields to Sort By : "), this), 0, 2);
    grid->addWidget(lbAvailable, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(lbSortBy, 1, 2);
    grid->addLayout(order, 2, 2);
    grid->addLayout(buttons, 3, 0, 1, 3);

    connect(btnAdd, &QPushButton::clicked, this, &TFormSortOrder::MoveToSortBy);
    connect(btnRemove, &QPushButton::clicked, this, &TFormSortOrder::MoveToAvailable);
    connect(btnAddAll, &QPushButton::clicked, this, &TFormSortOrder::MoveAllToSortBy);
    connect(btnRemoveAll, &QPushButton::clicked, this, &TFormSortOrder::MoveAllToAvailable);
    connect(btnUp, &QPushButton::clicked, this, &TFormSortOrder::MoveUp);
    connect(btnDown, &QPushButton::clicked, this, &TFormSortOrder::MoveDown);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbAvailable, &QListWidget::itemDoubleClicked, this, &TFormSortOrder::MoveToSortBy);
    connect(lbSortBy, &QListWidget::itemDoubleClicked, this, &TFormSortOrder::MoveToAvailable);

    resize(DesignWidth, DesignHeight);
    RestoreFormSettings();
}

TFormSortOrder::~TFormSortOrder()
{
    StoreFormSettings();
}

void TFormSortOrder::SetFields(const QStringList& available, const QStringList& sortBy)
{
    lbAvailable->clear();
    lbSortBy->clear();
    for (const QString& field : available)
        if (!sortBy.contains(field))
            lbAvailable->addItem(field);
    lbSortBy->addItems(sortBy);
}

QStringList TFormSortOrder::AvailableFields() const
{
    return Items(lbAvailable);
}

QStringList TFormSortOrder::SortFields() const
{
    return Items(lbSortBy);
}

void TFormSortOrder::MoveToSortBy()
{
    MoveCurrent(lbAvailable, lbSortBy);
}

void TFormSortOrder::MoveToAvailable()
{
    MoveCurrent(lbSortBy, lbAvailable);
}

void TFormSortOrder::MoveAllToSortBy()
{
    MoveAll(lbAvailable, lbSortBy);
}

void TFormSortOrder::MoveAllToAvailable()
{
    MoveAll(lbSortBy, lbAvailable);
}

void TFormSortOrder::MoveUp()
{
    const int row = lbSortBy->currentRow();
    if (row <= 0)
        return;
    lbSortBy->insertItem(row - 1, lbSortBy->takeItem(row));
    lbSortBy->setCurrentRow(row - 1);
}

void TFormSortOrder::MoveDown()
{
    const int row = lbSortBy->currentRow();
    if (row < 0 || row >= lbSortBy->count() - 1)
        return;
    lbSortBy->insertItem(row + 1, lbSortBy->takeItem(row));
    lbSortBy->setCurrentRow(row + 1);
}
