#include "platform/versioninfo.h"

#include "platform/sysinfo.h"
#include "platform/versionresource.h"

#include <atomic>

namespace {
const QString kTranslationPath = QStringLiteral("\\VarFileInfo\\Translation");

std::atomic<bool>& ComServerFlag()
{
    static std::atomic<bool> flag{false};
    return flag;
}
}  // namespace

TVersionResource TVersionResource::Program()
{
    namespace vr = tovix_version_resource;
    TVersionResource resource;
    resource.SetTranslation(vr::Language, vr::CodePage);
    const QString prefix = StringPrefix(vr::Language, vr::CodePage);
    for (const auto& entry : vr::Entries)
        resource.SetString(prefix + QString::fromUtf8(entry.Key), QString::fromUtf8(entry.Value));
    return resource;
}

void TVersionResource::SetTranslation(quint16 language, quint16 codePage)
{
    m_hasTranslation = true;
    m_language = language;
    m_codePage = codePage;
}

bool TVersionResource::QueryTranslation(quint16* language, quint16* codePage) const
{
    if (!m_hasTranslation)
        return false;
    *language = m_language;
    *codePage = m_codePage;
    return true;
}

bool TVersionResource::QueryString(const QString& path, QString* value) const
{
    if (path == kTranslationPath)
        return false;  // the translation entry is binary, not a string
    const auto it = m_strings.constFind(path);
    if (it == m_strings.constEnd())
        return false;
    *value = it.value();
    return true;
}

QString TVersionResource::StringPrefix(quint16 language, quint16 codePage)
{
    return QStringLiteral("\\StringFileInfo\\%1%2\\")
        .arg(language, 4, 16, QLatin1Char('0'))
        .arg(codePage, 4, 16, QLatin1Char('0'));
}

const QStringList& TVersionInfo::ResourceKeys()
{
    static const QStringList keys = {
        QStringLiteral("ProductName"),    QStringLiteral("ProductVersion"),  QStringLiteral("PrivateBuild"),
        QStringLiteral("SpecialBuild"),   QStringLiteral("FileVersion"),     QStringLiteral("CompanyName"),
        QStringLiteral("LegalCopyRight"), QStringLiteral("Comments"),        QStringLiteral("FileDescription"),
        QStringLiteral("InternalName"),   QStringLiteral("LegalTrademarks"), QStringLiteral("OriginalFilename"),
    };
    return keys;
}

void TVersionInfo::Load(const TVersionResource& resource)
{
    m_values.clear();
    if (resource.IsEmpty())
        return;
    quint16 language = 0;
    quint16 codePage = 0;
    if (!resource.QueryTranslation(&language, &codePage))
        return;
    const QString prefix = TVersionResource::StringPrefix(language, codePage);
    for (const QString& key : ResourceKeys()) {
        QString value;
        // A key the resource lacks stays empty rather than keeping another key's text.
        if (resource.QueryString(prefix + key, &value))
            m_values.insert(key, value);
    }
    const QStringList parts = m_values.value(QStringLiteral("FileVersion")).split(QLatin1Char('.'));
    const QStringList names = {QStringLiteral("MajorVersion"), QStringLiteral("MinorVersion"),
                               QStringLiteral("Release"), QStringLiteral("Build")};
    for (int i = 0; i < names.size(); ++i)
        m_values.insert(names[i], i < parts.size() ? parts[i] : QString());
}

namespace {
const TVersionInfo& ProgramVersionInfo()
{
    static const TVersionInfo info = [] {
        TVersionInfo v;
        v.Load(TVersionResource::Program());
        return v;
    }();
    return info;
}
}  // namespace

QString GetVersionInfoValue(const QString& key)
{
    return ProgramVersionInfo().Value(key);
}

bool CommandLineHasEmbedding(const QStringList& arguments)
{
    return arguments.join(QLatin1Char(' ')).contains(QLatin1String("-Embedding"), Qt::CaseInsensitive);
}

bool StartedAsComServer()
{
    return ComServerFlag().load();
}

void SetStartedAsComServer(bool value)
{
    ComServerFlag().store(value);
}

QString GetWindowsVersionText()
{
    // The running system's name and version, worked out once.
    static const QString text = OperatingSystemText();
    return text;
}
