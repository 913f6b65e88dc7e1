#include "foundation/options.h"

#include "platform/messagedlg.h"
#include "platform/profilefile.h"
#include "platform/programfolder.h"

#include <QDateTime>
#include <QLocale>
#include <QTime>

TSCGOptions* Options = nullptr;

namespace {
// The longest text an entry yields, as the profile functions' read buffer.
constexpr int MaxEntryLength = 2047;

void Warn(const QString& text)
{
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
}

bool IsTextType(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
}

bool IsNumericType(const QVariant& v)
{
    switch (v.metaType().id()) {
        case QMetaType::Bool:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Float:
        case QMetaType::Double:
            return true;
        default:
            return false;
    }
}

bool DefaultSuitsKind(const QVariant& v, TNOptionKind kind)
{
    switch (kind) {
        case okString:
            return IsTextType(v);
        case okFloat:
            return v.metaType().id() == QMetaType::Float || v.metaType().id() == QMetaType::Double;
        case okInteger:
            switch (v.metaType().id()) {
                case QMetaType::SChar:
                case QMetaType::Short:
                case QMetaType::Int:
                case QMetaType::LongLong:
                case QMetaType::UChar:
                case QMetaType::UShort:
                case QMetaType::UInt:
                    return true;
                default:
                    return false;
            }
        case okDateTime:
            return v.metaType().id() == QMetaType::QDateTime || v.metaType().id() == QMetaType::QTime;
        case okBool:
            return v.metaType().id() == QMetaType::Bool || IsTextType(v);
    }
    return false;
}

// A Boolean from a stored value: "True"/"False" in any case, a number
// (non-zero is true), or a Boolean.
bool VariantToBool(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return false;
    if (IsTextType(v)) {
        const QString t = v.toString().trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || t.isEmpty())
            return false;
        bool ok = false;
        const int n = ParseDelphiInteger(t, &ok);
        return ok && n != 0;
    }
    if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float)
        return v.toDouble() != 0.0;
    return v.toLongLong() != 0;
}

QTime VariantToTime(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QTime)
        return v.toTime();
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().time();
    return QTime(0, 0);
}

// The user's time format without a time-zone part: the option holds a time of
// day only.
QString TimeFormat()
{
    QString f = QLocale().timeFormat(QLocale::LongFormat);
    f.remove(QLatin1Char('t'));
    return f.trimmed();
}

QLocale FloatLocale()
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return loc;
}

// A name property takes the trimmed text unless it is empty (then the
// operator is warned and the old name stays).
void TakeNonEmptyText(QString& field, const QString& value, const QString& emptyWarning)
{
    const QString t = TrimBlanksAndControls(value);
    if (t == field)
        return;
    if (t.isEmpty()) {
        Warn(emptyWarning);
        return;
    }
    field = t;
}

// Removes one pair of enclosing quotes, double or single.
QString Unquote(const QString& text)
{
    if (text.size() >= 2) {
        const QChar first = text.front();
        if ((first == u'"' || first == u'\'') && text.back() == first)
            return text.mid(1, text.size() - 2);
    }
    return text;
}
}  // namespace

EOptionError::EOptionError(const QString& message) : std::runtime_error(message.toStdString()) {}

// ---------------------------------------------------------------- TNOption

TNOption::TNOption(TSCGOptions* owner, int index)
    : m_owner(owner), m_sectionName(QStringLiteral("DefaultSection")), m_name(QStringLiteral("Option%1").arg(index))
{
}

void TNOption::SetSectionName(const QString& value)
{
    TakeNonEmptyText(m_sectionName, value, QStringLiteral("Error: SectionName can't be empty !!!"));
}

void TNOption::SetName(const QString& value)
{
    const QString t = TrimBlanksAndControls(value);
    if (t == m_name)
        return;
    const TNOption* other = m_owner ? m_owner->FindOption(t) : nullptr;
    if (other && other != this) {
        Warn(QStringLiteral("There is already an option named: \"%1\". Please use another name!").arg(t));
        return;
    }
    if (t.isEmpty()) {
        Warn(QStringLiteral("Error: Option Name can't be empty !!!"));
        return;
    }
    m_name = t;
}

void TNOption::SetDefaultValue(const QVariant& value)
{
    if (value.isValid() && !value.isNull() && !DefaultSuitsKind(value, m_kind)) {
        Warn(QStringLiteral("Wrong DefaultValue type. Please correct it."));
        return;
    }
    m_defaultValue = value;
}

QVariant TNOption::DefaultAsKind() const
{
    const bool empty = !m_defaultValue.isValid() || m_defaultValue.isNull();
    switch (m_kind) {
        case okString:
            return empty ? QString() : m_defaultValue.toString();
        case okFloat:
            return empty ? 0.0 : m_defaultValue.toDouble();
        case okInteger:
            return empty ? 0 : m_defaultValue.toInt();
        case okDateTime:
            return empty ? QTime(0, 0) : VariantToTime(m_defaultValue);
        case okBool:
            return VariantToBool(m_defaultValue);
    }
    return {};
}

void TNOption::Load()
{
    const TNProfileFile& ini = m_owner->IniFile();
    const QVariant def = DefaultAsKind();
    switch (m_kind) {
        case okString:
            if (!ini.ValueExists(m_sectionName, m_name))
                m_value = def.toString();
            else
                m_value = Unquote(TrimBlanksAndControls(ini.ReadString(m_sectionName, m_name, QString())))
                              .left(MaxEntryLength);
            break;
        case okInteger:
            m_value = ini.ReadInteger(m_sectionName, m_name, def.toInt());
            break;
        case okBool:
            m_value = ini.ReadBool(m_sectionName, m_name, def.toBool());
            break;
        case okFloat: {
            bool ok = false;
            const double d = FloatLocale().toDouble(ini.ReadString(m_sectionName, m_name, QString()), &ok);
            m_value = ok ? QVariant(d) : def;
            break;
        }
        case okDateTime: {
            const QTime t = QLocale().toTime(ini.ReadString(m_sectionName, m_name, QString()), TimeFormat());
            m_value = t.isValid() ? QVariant(t) : def;
            break;
        }
    }
    m_savedValue = m_value;
}

void TNOption::Save()
{
    TNProfileFile& ini = m_owner->IniFile();
    switch (m_kind) {
        case okString: {
            // An entry is one line: a line break in the text would cut it
            // and put the rest into the file as lines of their own, so line
            // breaks are stored as blanks (and the value in force says so).
            QString text = AsString();
            if (text.contains(u'\n') || text.contains(u'\r')) {
                text.replace(QLatin1String("\r\n"), QLatin1String(" "));
                text.replace(u'\r', u' ').replace(u'\n', u' ');
                m_value = text;
            }
            ini.WriteString(m_sectionName, m_name, u'"' + text + u'"');
            break;
        }
        case okInteger:
            ini.WriteInteger(m_sectionName, m_name, AsInteger());
            break;
        case okBool:
            ini.WriteBool(m_sectionName, m_name, AsBool());
            break;
        case okFloat:
            ini.WriteString(m_sectionName, m_name, FloatLocale().toString(AsFloat(), 'g', 15));
            break;
        case okDateTime:
            ini.WriteString(m_sectionName, m_name, QLocale().toString(VariantToTime(m_value), TimeFormat()));
            break;
    }
    m_savedValue = m_value;
}

bool TNOption::Modified() const
{
    const bool valueEmpty = !m_value.isValid() || m_value.isNull();
    const bool savedEmpty = !m_savedValue.isValid() || m_savedValue.isNull();
    if (valueEmpty || savedEmpty)
        return valueEmpty != savedEmpty;
    if (IsTextType(m_value) && IsTextType(m_savedValue))
        return m_value.toString() != m_savedValue.toString();
    if (IsNumericType(m_value) && IsNumericType(m_savedValue))
        return m_value.toDouble() != m_savedValue.toDouble();
    if (IsTextType(m_value) || IsTextType(m_savedValue))
        return m_value.toString() != m_savedValue.toString();
    return m_value != m_savedValue;
}

void TNOption::ApplyChanges()
{
    if (Modified() && m_onApplyChanges)
        m_onApplyChanges(this);
}

void TNOption::ApplyValue()
{
    if (m_onApplyChanges)
        m_onApplyChanges(this);
}

bool TNOption::AsBool() const
{
    return VariantToBool(m_value);
}

int TNOption::AsInteger() const
{
    if (IsTextType(m_value)) {
        bool ok = false;
        const int n = ParseDelphiInteger(m_value.toString(), &ok);
        return ok ? n : 0;
    }
    return m_value.toInt();
}

QString TNOption::AsString() const
{
    if (m_value.metaType().id() == QMetaType::Bool)
        return m_value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return m_value.toString();
}

double TNOption::AsFloat() const
{
    return m_value.toDouble();
}

// ------------------------------------------------------------- TSCGOptions

TSCGOptions::TSCGOptions() : m_fileName(QStringLiteral("Settings.ini")) {}

TSCGOptions::~TSCGOptions() = default;

void TSCGOptions::SetFileName(const QString& value)
{
    TakeNonEmptyText(m_fileName, value, QStringLiteral("Error: FileName can't be empty !!!"));
}

QString TSCGOptions::FilePath() const
{
    return ProgramFolder() + m_fileName;
}

TNOption* TSCGOptions::Add()
{
    m_options.push_back(std::unique_ptr<TNOption>(new TNOption(this, Count())));
    return m_options.back().get();
}

TNOption* TSCGOptions::AddOption(const QString& section, const QString& name, TNOptionKind kind,
                                 const QVariant& defaultValue, TOnApplyChangesEvent handler)
{
    TNOption* option = Add();
    option->SetSectionName(section);
    option->SetName(name);
    option->SetKind(kind);
    option->SetDefaultValue(defaultValue);
    option->SetOnApplyChanges(std::move(handler));
    return option;
}

TNProfileFile& TSCGOptions::IniFile()
{
    if (!m_iniFile)
        OpenIniFile();
    return *m_iniFile;
}

void TSCGOptions::OpenIniFile()
{
    // The file holds the logon passwords in plain text: only its owner may
    // read it.
    m_iniFile = std::make_unique<TNProfileFile>(FilePath(), TProfileAccess::OwnerOnly);
}

void TSCGOptions::LoadFromFile()
{
    OpenIniFile();
    for (const auto& option : m_options)
        option->Load();
}

void TSCGOptions::SaveToFile()
{
    for (const auto& option : m_options)
        option->Save();
    IniFile().UpdateFile();
}

TNOption* TSCGOptions::FindOption(const QString& name) const
{
    const QString wanted = TrimBlanksAndControls(name);
    for (const auto& option : m_options)
        if (option->Name() == wanted)
            return option.get();
    return nullptr;
}

TNOption* TSCGOptions::OptionByName(const QString& name) const
{
    if (TNOption* option = FindOption(name))
        return option;
    throw EOptionError(QStringLiteral("From TSCGOptions.OptionByName() : There is no Option named: \"%1\"").arg(name));
}

bool TSCGOptions::Modified() const
{
    for (const auto& option : m_options)
        if (option->Modified())
            return true;
    return false;
}

void TSCGOptions::ApplyChanges()
{
    for (const auto& option : m_options)
        option->ApplyChanges();
    SaveToFile();
}

void TSCGOptions::CancelChanges()
{
    for (const auto& option : m_options)
        option->m_value = option->m_savedValue;
}

TNOption* TSCGOptions::At(int index) const
{
    if (index < 0 || index >= Count())
        throw EOptionError(QStringLiteral("From TSCGOptions.At() : List index out of bounds (%1)").arg(index));
    return m_options[static_cast<size_t>(index)].get();
}
