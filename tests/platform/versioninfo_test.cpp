// The version resource and its reader, and the automation switch.
#include "platform/versioninfo.h"

#include <gtest/gtest.h>

namespace {
TVersionResource MakeResource(const QString& fileVersion, bool withComments)
{
    TVersionResource r;
    r.SetTranslation(0x0409, 0x04e4);
    const QString prefix = TVersionResource::StringPrefix(0x0409, 0x04e4);
    r.SetString(prefix + QStringLiteral("ProductName"), QStringLiteral("Tovix 2"));
    r.SetString(prefix + QStringLiteral("FileVersion"), fileVersion);
    r.SetString(prefix + QStringLiteral("CompanyName"), QStringLiteral("Company"));
    if (withComments)
        r.SetString(prefix + QStringLiteral("Comments"), QStringLiteral("Some comments"));
    return r;
}
}  // namespace

TEST(VersionInfo, StringPrefixUsesFourLowerCaseHexDigitsEach)
{
    EXPECT_EQ(TVersionResource::StringPrefix(0x0409, 0x04E4), QStringLiteral("\\StringFileInfo\\040904e4\\"));
}

TEST(VersionInfo, FileVersionSplitsIntoFourParts)
{
    TVersionInfo v;
    v.Load(MakeResource(QStringLiteral("2.0.1.438"), true));
    EXPECT_EQ(v.Value(QStringLiteral("MajorVersion")), QStringLiteral("2"));
    EXPECT_EQ(v.Value(QStringLiteral("MinorVersion")), QStringLiteral("0"));
    EXPECT_EQ(v.Value(QStringLiteral("Release")), QStringLiteral("1"));
    EXPECT_EQ(v.Value(QStringLiteral("Build")), QStringLiteral("438"));
    EXPECT_EQ(v.Value(QStringLiteral("Comments")), QStringLiteral("Some comments"));

    v.Load(MakeResource(QStringLiteral("2.1"), true));
    EXPECT_EQ(v.Value(QStringLiteral("MinorVersion")), QStringLiteral("1"));
    EXPECT_TRUE(v.Value(QStringLiteral("Release")).isEmpty());
    EXPECT_TRUE(v.Value(QStringLiteral("Build")).isEmpty());
}

TEST(VersionInfo, MissingKeyIsEmptyAndLookupIsCaseSensitive)
{
    TVersionInfo v;
    v.Load(MakeResource(QStringLiteral("2.0.1.1"), false));
    EXPECT_TRUE(v.Value(QStringLiteral("Comments")).isEmpty());
    EXPECT_EQ(v.Value(QStringLiteral("ProductName")), QStringLiteral("Tovix 2"));
    EXPECT_TRUE(v.Value(QStringLiteral("productname")).isEmpty());
    EXPECT_TRUE(v.Value(QStringLiteral("NoSuchKey")).isEmpty());
}

TEST(VersionInfo, ResourceWithoutTranslationOrEmptyGivesNothing)
{
    TVersionResource noTranslation;
    noTranslation.SetString(TVersionResource::StringPrefix(0x0409, 0x04e4) + QStringLiteral("ProductName"),
                            QStringLiteral("X"));
    TVersionInfo v;
    v.Load(noTranslation);
    EXPECT_TRUE(v.Value(QStringLiteral("ProductName")).isEmpty());
    v.Load(TVersionResource());
    EXPECT_TRUE(v.Value(QStringLiteral("Build")).isEmpty());
}

TEST(VersionInfo, ProgramResourceComesFromTheProjectMetadata)
{
    EXPECT_EQ(GetVersionInfoValue(QStringLiteral("ProductName")), QStringLiteral("Tovix 2"));
    const QString fileVersion = GetVersionInfoValue(QStringLiteral("FileVersion"));
    EXPECT_TRUE(fileVersion.startsWith(QStringLiteral("2.0."))) << qPrintable(fileVersion);
    EXPECT_EQ(fileVersion.split(QLatin1Char('.')).size(), 4);
    EXPECT_EQ(GetVersionInfoValue(QStringLiteral("Build")), fileVersion.section(QLatin1Char('.'), 3, 3));
    EXPECT_FALSE(GetVersionInfoValue(QStringLiteral("LegalCopyRight")).isEmpty());
    EXPECT_FALSE(GetVersionInfoValue(QStringLiteral("CompanyName")).isEmpty());
}

TEST(VersionInfo, EmbeddingSwitchInAnyCaseAnywhere)
{
    EXPECT_TRUE(CommandLineHasEmbedding({QStringLiteral("/opt/tovix2"), QStringLiteral("-EMBEDDING")}));
    EXPECT_TRUE(
        CommandLineHasEmbedding({QStringLiteral("tovix2"), QStringLiteral("-x"), QStringLiteral("-embedding")}));
    EXPECT_FALSE(CommandLineHasEmbedding({QStringLiteral("tovix2"), QStringLiteral("/Embedding")}));
    EXPECT_FALSE(CommandLineHasEmbedding({QStringLiteral("tovix2")}));
}
