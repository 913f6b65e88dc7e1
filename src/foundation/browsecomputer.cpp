#include "foundation/browsecomputer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>
#include <QVBoxLayout>

namespace {
QStringList ReadLines(const QString& path)
{
    QStringList lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    QTextStream in(&file);
    while (!in.atEnd()) {
        QString line = in.readLine();
        const qsizetype hash = line.indexOf(u'#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.simplified();
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

bool IsLoopbackName(const QString& name)
{
    static const QRegularExpression loopback(QStringLiteral("^(localhost|ip6-.*|localhost\\..*)$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return loopback.match(name).hasMatch();
}
}  // namespace

QStringList KnownComputerNames(const QString& hostsFile, const QString& resolvFile)
{
    QStringList others;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& line : ReadLines(hostsFile)) {
        const QStringList fields = line.split(blanks);
        for (qsizetype i = 1; i < fields.size(); ++i)
            if (!IsLoopbackName(fields[i]))
                others << fields[i];
    }
    for (const QString& line : ReadLines(resolvFile)) {
        const QStringList fields = line.split(blanks);
        if (fields[0] == QLatin1String("search") || fields[0] == QLatin1String("domain"))
            others << fields.mid(1);
    }
    others.sort(Qt::CaseInsensitive);

    const QString local = QHostInfo::localHostName();
    QStringList names;
    QSet<QString> seen;
    if (!local.isEmpty()) {
        names << local;
        seen.insert(local.toLower());
    }
    for (const QString& name : std::as_const(others)) {
        if (seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        names << name;
    }
    return names;
}

TNBrowseComputerDialog::TNBrowseComputerDialog(const QStringList& names, const QString& current, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)), m_edit(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Select Computer"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    auto* label = new QLabel(QStringLiteral("&Computer:"), this);
    label->setBuddy(m_edit);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);

    m_list->addItems(names);
    m_ok->setEnabled(false);
    connect(m_list, &QListWidget::currentTextChanged, m_edit, &QLineEdit::setText);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] {
        if (m_ok->isEnabled())
            accept();
    });
    connect(m_edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_ok->setEnabled(!text.trimmed().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The name already in the caller's field is where the choice starts; a
    // list without a current row would start on its first name (the local
    // host) as soon as it takes the focus.
    const QString start = current.trimmed();
    if (!start.isEmpty()) {
        const QList<QListWidgetItem*> found = m_list->findItems(start, Qt::MatchFixedString);
        if (found.isEmpty())
            m_list->addItem(start);
        m_list->setCurrentItem(found.isEmpty() ? m_list->item(m_list->count() - 1) : found.first());
        m_edit->setText(start);
    }
}

QString TNBrowseComputerDialog::ComputerName() const
{
    return m_edit->text().trimmed();
}

bool BrowseForComputer(QString& computerName)
{
    TNBrowseComputerDialog dialog(KnownComputerNames(), computerName);
    if (dialog.exec() != QDialog::Accepted || dialog.ComputerName().isEmpty())
        return false;
    computerName = dialog.ComputerName();
    return true;
}
