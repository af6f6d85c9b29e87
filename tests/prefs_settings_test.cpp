// The settings store: typed values in the file MIRVANE_SETTINGS names.
#include "prefs/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace s = mirvane::settings;

namespace {

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath("sub/settings.conf");
        qputenv("MIRVANE_SETTINGS", path_.toUtf8());
    }
    void TearDown() override { qunsetenv("MIRVANE_SETTINGS"); }
    void WriteRaw(const QByteArray &text) {
        ASSERT_TRUE(QDir().mkpath(dir_.filePath("sub")));
        QFile f(path_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QTemporaryDir dir_;
    QString path_;
};

TEST_F(SettingsFile, MissingFileReadsAsMissingAndFirstWriteCreatesIt) {
    EXPECT_EQ(s::FilePath(), path_);
    EXPECT_FALSE(s::ReadInteger("Volume"));
    EXPECT_FALSE(s::ReadString("SkinName"));
    EXPECT_TRUE(s::WriteInteger("Volume", 73));
    EXPECT_TRUE(QFile::exists(path_));
    EXPECT_EQ(s::ReadInteger("Volume"), 73);
}

TEST_F(SettingsFile, ValuesKeepTheirTypeAcrossTheFile) {
    ASSERT_TRUE(s::WriteString("SkinName", "My \"Skin\"\\\n2"));
    ASSERT_TRUE(s::WriteString("Empty", ""));
    ASSERT_TRUE(s::WriteString("Digits", "42"));
    ASSERT_TRUE(s::WriteBool("OnTop", true));
    ASSERT_TRUE(s::WriteInteger("MainTop", -12));
    EXPECT_EQ(s::ReadString("SkinName"), "My \"Skin\"\\\n2");
    EXPECT_EQ(s::ReadString("Empty"), QString());
    EXPECT_TRUE(s::ReadString("Empty").has_value()); // stored empty is not missing
    EXPECT_EQ(s::ReadBool("OnTop"), true);
    EXPECT_EQ(s::ReadInteger("OnTop"), 1);
    EXPECT_EQ(s::ReadInteger("MainTop"), -12);
    // The wrong type reads as missing, also for a string made of digits.
    EXPECT_FALSE(s::ReadInteger("Digits"));
    EXPECT_FALSE(s::ReadString("MainTop"));
}

TEST_F(SettingsFile, HandWrittenFileIsReadTolerantly) {
    WriteRaw("# comment\n"
             "Volume = 40\r\n"
             "OnTop=0\n"
             "SkinName=\"Blue\"\n"
             "Bad=12abc\n"
             "Unquoted=text\n"
             "Broken=\"open\n"
             "=5\n");
    EXPECT_EQ(s::ReadInteger("Volume"), 40);
    EXPECT_EQ(s::ReadBool("OnTop"), false);
    EXPECT_EQ(s::ReadString("SkinName"), "Blue");
    EXPECT_FALSE(s::ReadInteger("Bad"));
    EXPECT_FALSE(s::ReadString("Unquoted"));
    EXPECT_FALSE(s::ReadString("Broken"));
    // Writing one value keeps the others.
    EXPECT_TRUE(s::WriteInteger("Volume", 41));
    EXPECT_EQ(s::ReadString("SkinName"), "Blue");
    EXPECT_EQ(s::ReadInteger("Volume"), 41);
}

TEST_F(SettingsFile, StoreThatCannotBeWrittenIsSkippedSilently) {
    // A folder where the file should be: reads give nothing, writes report failure.
    qputenv("MIRVANE_SETTINGS", dir_.path().toUtf8());
    EXPECT_FALSE(s::ReadInteger("Volume"));
    EXPECT_FALSE(s::WriteInteger("Volume", 5));
}

} // namespace
