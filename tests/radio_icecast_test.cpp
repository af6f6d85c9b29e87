// End to end against a real Icecast server fed by ezstream, both started here on 127.0.0.1
// and stopped at the end. Skipped with a message when they are not installed or do not start.
#include "radio_support.h"

#include "common/dialogs.h"
#include "radio/radio_window.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <unistd.h>

using namespace radiotest;

namespace {

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool write(const QString &path, const QString &text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
}

// Stops a process this test started.
struct Child {
    QProcess process;
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
};

} // namespace

TEST(IcecastStation, PlaysWhatASourceClientSendsWithNameAndTitle) {
    StartAudio();
    const QString icecast = QStandardPaths::findExecutable("icecast2");
    const QString ezstream = QStandardPaths::findExecutable("ezstream");
    if (icecast.isEmpty() || ezstream.isEmpty())
        GTEST_SKIP() << "icecast2 or ezstream is not installed (scripts/deps.sh installs them)";
    QTemporaryDir dir;
    const QString d = dir.path();
    // Icecast started by root drops to nobody, who must write its logs here.
    QFile::setPermissions(d, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                 QFileDevice::WriteOther | QFileDevice::ExeOther);
    const int port = freePort();
    const QString security = ::getuid() == 0
                                 ? "<security><chroot>0</chroot><changeowner><user>nobody</user>"
                                   "<group>nogroup</group></changeowner></security>"
                                 : "";
    ASSERT_TRUE(
        write(d + "/icecast.xml",
              QString("<icecast><limits><sources>2</sources></limits>"
                      "<authentication><source-password>pw</source-password>"
                      "<admin-user>admin</admin-user><admin-password>pw</admin-password>"
                      "</authentication><hostname>127.0.0.1</hostname>"
                      "<listen-socket><port>%1</port><bind-address>127.0.0.1</bind-address>"
                      "</listen-socket><fileserve>0</fileserve>"
                      "<paths><basedir>%2</basedir><logdir>%2</logdir>"
                      "<webroot>/usr/share/icecast2/web</webroot>"
                      "<adminroot>/usr/share/icecast2/admin</adminroot></paths>"
                      "<logging><errorlog>error.log</errorlog><accesslog>access.log</accesslog>"
                      "<loglevel>2</loglevel></logging>%3</icecast>")
                  .arg(port)
                  .arg(d, security)));
    QFile::copy(QString(MIRVANE_TEST_DATA) + "/audio/mp3_cbr_stereo_44100.mp3", d + "/song.mp3");
    const QString ezConfig = d + "/ezstream.xml";
    ASSERT_TRUE(
        write(ezConfig, QString("<ezstream><servers><server><protocol>HTTP</protocol>"
                                "<hostname>127.0.0.1</hostname><port>%1</port>"
                                "<password>pw</password><tls>None</tls></server></servers>"
                                "<streams><stream><mountpoint>/radio.mp3</mountpoint>"
                                "<format>MP3</format><stream_name>Mirvane Test</stream_name>"
                                "<stream_bitrate>128</stream_bitrate><public>No</public>"
                                "</stream></streams><intakes><intake><type>file</type>"
                                "<filename>%2/song.mp3</filename><stream_once>No</stream_once>"
                                "</intake></intakes></ezstream>")
                            .arg(port)
                            .arg(d)));
    QFile::setPermissions(ezConfig, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    Child server;
    server.process.start(icecast, {"-c", d + "/icecast.xml"});
    if (!server.process.waitForStarted(3000))
        GTEST_SKIP() << "icecast2 does not start: " << server.process.errorString().toStdString();
    Child source;
    // The server needs a moment to listen; the source client gives up when it cannot connect.
    const bool listening = WaitFor(
        [&] {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(uint16_t(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
            ::close(fd);
            return ok;
        },
        4000);
    if (!listening)
        GTEST_SKIP() << "icecast2 does not listen: " << server.process.readAll().toStdString();
    source.process.start(ezstream, {"-c", ezConfig});
    if (!source.process.waitForStarted(3000))
        GTEST_SKIP() << "ezstream does not start";

    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/radio.mp3";
    HSTREAM h = 0;
    WaitFor(
        [&] {
            h = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_META, nullptr, nullptr);
            return h != 0;
        },
        5000);
    if (!h)
        GTEST_SKIP() << "the source did not reach the server: "
                     << source.process.readAllStandardError().toStdString();
    std::vector<std::string> lines;
    for (const char *p = BASS_StreamGetTags(h, BASS_TAG_HTTP); p && *p;
         p += lines.back().size() + 1)
        lines.emplace_back(p);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-name:Mirvane Test"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-br:128"), lines.end());
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_TRUE(WaitFor([&] { return BASS_ChannelGetPosition(h) > 44100 * 4u; }));
    std::string meta;
    EXPECT_TRUE(WaitFor([&] {
        const char *m = BASS_StreamGetTags(h, BASS_TAG_META);
        meta = m ? m : "";
        return meta.find("StreamTitle='") != std::string::npos;
    })) << meta;
    BASS_StreamFree(h);

    // The window on the same station.
    QTemporaryDir home;
    qputenv("MIRVANE_HOME", home.path().toUtf8());
    write(home.path() + "/iradio.ini", QString("[Ice]\r\nURL=%1\r\n").arg(url.c_str()));
    mirvane::RecordingDialogs dialogs;
    {
        RadioWindow w;
        DWORD started = 0;
        QObject::connect(&w, &RadioWindow::streamStarted, [&](DWORD c) { started = c; });
        w.chanlist->topLevelItem(0)->setSelected(true);
        w.chanlistDblClick();
        EXPECT_TRUE(WaitFor([&] { return started != 0; }));
        EXPECT_EQ(w.Channellbl->text(), "Mirvane Test");
        EXPECT_EQ(w.Label5->text(), "128");
        EXPECT_TRUE(dialogs.messages.empty());
        w.EngineStopped();
        if (started)
            BASS_StreamFree(started);
    }
    qunsetenv("MIRVANE_HOME");
}
