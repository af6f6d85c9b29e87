#pragma once
// Helpers of the display tests. The display platform and its scale are fixed when the
// application starts, so each situation runs in a child process of this same test executable:
// the parent sets the environment (platform, scale, compositor socket) and runs one child test
// case, which starts the whole program and drives it.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QWidget>
#include <gtest/gtest.h>

#include "player_support.h"

namespace display_test {

// Set in a child process; child test cases skip without it.
inline const char *const kChildVariable = "MIRVANE_DISPLAY_CHILD";

inline bool InChild() {
    return qEnvironmentVariableIsSet(kChildVariable);
}

// Runs one test case of this executable in a child process with `env` added to the present
// environment; returns the child's exit code and appends what it printed to `output`.
inline int RunChild(const QString &testCase, const QProcessEnvironment &env, QString &output) {
    QProcess child;
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    all.insert(kChildVariable, "1");
    for (const QString &key : env.keys())
        all.insert(key, env.value(key));
    child.setProcessEnvironment(all);
    child.setProcessChannelMode(QProcess::MergedChannels);
    // The parent has no application object, so the executable is found through /proc.
    child.start(QFileInfo("/proc/self/exe").canonicalFilePath(),
                {"--gtest_filter=" + testCase, "--gtest_also_run_disabled_tests"});
    if (!child.waitForStarted()) {
        output += child.errorString();
        return -1;
    }
    child.waitForFinished(-1);
    output += QString::fromLocal8Bit(child.readAll());
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

// The child's verdict: passed, or failed with its output; a skip in the child is a skip here.
// What the child printed goes to `printed` when given.
inline void ExpectChildPassed(const QString &testCase, const QProcessEnvironment &env,
                              QString *printed = nullptr) {
    QString output;
    const int code = RunChild(testCase, env, output);
    if (printed)
        *printed = output;
    ASSERT_EQ(code, 0) << output.toStdString();
    if (output.contains("[  SKIPPED ]"))
        GTEST_SKIP() << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// A program folder with the shipped skins, so the player is dressed as a user sees it.
class DesktopProgramTest : public player_test::ProgramTest {
  protected:
    void SetUp() override {
        if (!InChild())
            GTEST_SKIP() << "runs in a child process started by its parent test";
        ProgramTest::SetUp();
        CopySkins();
    }
    // Saves a picture into the folder MIRVANE_DISPLAY_SHOTS names, when it is set (an empty
    // name saves nothing).
    static void Keep(const QImage &image, const QString &name) {
        const QString dir = qEnvironmentVariable("MIRVANE_DISPLAY_SHOTS");
        if (!dir.isEmpty() && !name.isEmpty())
            image.save(dir + "/" + name);
    }
};

} // namespace display_test
