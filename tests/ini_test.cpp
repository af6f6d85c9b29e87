// The INI profile reader: names without regard to case, trimmed values, file order of
// sections, and the integer forms.
#include "common/ini.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using mirvane::IniFile;
using mirvane::ParseProfileInt;

TEST(ParseProfileInt, DecimalAndTheThreeHexPrefixes) {
    EXPECT_EQ(ParseProfileInt("255"), 255);
    EXPECT_EQ(ParseProfileInt("0xFF"), 255);
    EXPECT_EQ(ParseProfileInt("0Xff"), 255);
    EXPECT_EQ(ParseProfileInt("$FF"), 255);
    EXPECT_EQ(ParseProfileInt("$FF0000"), 0xFF0000);
    EXPECT_EQ(ParseProfileInt("-12"), -12);
    EXPECT_EQ(ParseProfileInt("+7"), 7);
    EXPECT_EQ(ParseProfileInt("  42 "), 42);
    EXPECT_EQ(ParseProfileInt("007"), 7);
}

TEST(ParseProfileInt, LimitsOfThirtyTwoBits) {
    EXPECT_EQ(ParseProfileInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseProfileInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseProfileInt("2147483648"), std::nullopt);
    EXPECT_EQ(ParseProfileInt("$FFFFFFFF"), -1); // hexadecimal uses all 32 bits
    EXPECT_EQ(ParseProfileInt("$100000000"), std::nullopt);
    EXPECT_EQ(ParseProfileInt("99999999999999999999999"), std::nullopt);
}

TEST(ParseProfileInt, AnythingElseIsNotAnInteger) {
    for (const char *bad :
         {"", " ", "12abc", "abc", "0x", "$", "-", "1 2", "1.5", "0xG1", "FF", "x10", "٣"}) {
        EXPECT_EQ(ParseProfileInt(QString::fromUtf8(bad)), std::nullopt) << bad;
    }
}

TEST(IniFile, NamesIgnoreCaseAndValuesAreTrimmed) {
    const IniFile ini = IniFile::Parse("[Steel]\r\n"
                                       "  PlbtnLeft =  12  \r\n"
                                       "Visual=Spectrum\r\n"
                                       "\r\n"
                                       "[ amber ]\n"
                                       "visual = spectrum\n");
    EXPECT_EQ(ini.readInteger("steel", "PLBTNLEFT", 0), 12);
    EXPECT_EQ(ini.readString("STEEL", "visual", "x"), "Spectrum");
    EXPECT_EQ(ini.readString("Amber", "Visual", "x"), "spectrum");
    EXPECT_EQ(ini.sections(), QStringList({"Steel", "amber"}));
    EXPECT_EQ(ini.keys("steel"), QStringList({"PlbtnLeft", "Visual"}));
}

TEST(IniFile, MissingThingsGiveTheDefault) {
    const IniFile ini = IniFile::Parse("[A]\nNum=abc\nEmpty=\n");
    EXPECT_EQ(ini.readInteger("A", "Num", 5), 5);
    EXPECT_EQ(ini.readInteger("A", "Empty", 6), 6);
    EXPECT_EQ(ini.readString("A", "Empty", "d"), ""); // present but empty is not missing
    EXPECT_EQ(ini.readInteger("A", "Missing", 7), 7);
    EXPECT_EQ(ini.readInteger("B", "Num", 8), 8);
    EXPECT_EQ(ini.readString("B", "Num", "d"), "d");

    const IniFile none = IniFile::Load("/nonexistent/Skins.ini");
    EXPECT_FALSE(none.exists());
    EXPECT_TRUE(none.sections().isEmpty());
    EXPECT_EQ(none.readInteger("A", "Num", 9), 9);
}

TEST(IniFile, FirstOfRepeatedNamesWinsAndStrayLinesAreIgnored) {
    const IniFile ini = IniFile::Parse("Orphan=1\n"
                                       "[S1]\n"
                                       "; a comment=3\n"
                                       "no equals sign\n"
                                       "Key=first\n"
                                       "KEY=second\n"
                                       "[S2]\n"
                                       "[s1]\n"
                                       "Other=4\n"
                                       "[]\n"
                                       "Url=http://host/a=b\n");
    EXPECT_EQ(ini.sections(), QStringList({"S1", "S2", ""}));
    EXPECT_EQ(ini.readString("S1", "Key", ""), "first");
    EXPECT_EQ(ini.readInteger("S1", "Other", -1), -1);
    EXPECT_EQ(ini.keys("S1"), QStringList({"Key"}));
    EXPECT_EQ(ini.readString("", "Url", ""), "http://host/a=b"); // split at the first "="
    EXPECT_TRUE(ini.keys("S2").isEmpty());
    EXPECT_TRUE(ini.hasSection("s2"));
    EXPECT_FALSE(ini.hasSection("Orphan"));
}

TEST(IniFile, LoadsUtf8AndLatin1Files) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString utf8Path = dir.filePath("utf8.ini");
    const QString latin1Path = dir.filePath("latin1.ini");
    {
        QFile f(utf8Path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xEF\xBB\xBF[R\xC3\xA4"
                "dio]\nName=K\xC3\xB6ln\n");
    }
    {
        QFile f(latin1Path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[R\xE4"
                "dio]\nName=K\xF6ln\n");
    }
    for (const QString &path : {utf8Path, latin1Path}) {
        const IniFile ini = IniFile::Load(path);
        EXPECT_TRUE(ini.exists());
        EXPECT_EQ(ini.sections(), QStringList({QString::fromUtf8("Rädio")})) << path.toStdString();
        EXPECT_EQ(ini.readString(QString::fromUtf8("RÄDIO"), "name", ""),
                  QString::fromUtf8("Köln"));
    }
}
