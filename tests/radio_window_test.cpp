// The radio window driven alone, as the playback engine will drive it: the station file, a
// connection to a local station, the hand-over of the channel, and connections that fail or
// come too late.
#include "radio_server.h"

#include "radio_support.h"

#include "common/dialogs.h"
#include "radio/radio_window.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace radiotest;

namespace {

// A program directory of its own with the given station file; the dialogs are recorded.
struct RadioHome {
    explicit RadioHome(const QByteArray &stations) {
        qputenv("MIRVANE_HOME", dir.path().toUtf8());
        QFile f(path());
        f.open(QIODevice::WriteOnly);
        f.write(stations);
    }
    ~RadioHome() { qunsetenv("MIRVANE_HOME"); }
    QString path() const { return dir.path() + "/iradio.ini"; }
    QByteArray file() const {
        QFile f(path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    QTemporaryDir dir;
    mirvane::RecordingDialogs dialogs;
};

QString cell(RadioWindow &w, int row, int column) {
    return w.chanlist->topLevelItem(row)->text(column);
}

void connectRow(RadioWindow &w, int row) {
    w.chanlist->clearSelection();
    w.chanlist->topLevelItem(row)->setSelected(true);
    w.chanlistDblClick();
}

} // namespace

TEST(RadioWindow, StationListAddAndRemoveKeepTheFileAndTheCount) {
    App();
    RadioHome home("; written by hand\r\n[Jazz]\r\nBitrate=128\r\nURL=http://127.0.0.1:9/j\r\n"
                   "[Empty]\r\n");
    RadioWindow w;
    EXPECT_EQ(w.objectName(), "form3");
    EXPECT_EQ(w.windowTitle(), "Internet radio");
    ASSERT_EQ(w.chanlist->topLevelItemCount(), 2);
    EXPECT_EQ(cell(w, 0, 0), "Jazz");
    EXPECT_EQ(cell(w, 0, 1), "128");
    EXPECT_EQ(cell(w, 0, 2), "http://127.0.0.1:9/j");
    EXPECT_EQ(cell(w, 1, 1), "");
    EXPECT_EQ(cell(w, 1, 2), "");
    EXPECT_EQ(w.nrchans->text(), "2");
    EXPECT_EQ(w.tchans->count(), 2);
    EXPECT_FALSE(w.tchans->isVisibleTo(&w));
    EXPECT_EQ(w.chanlist->headerItem()->text(2), "Adress");

    // An address that is not http or https is refused with a message, not added.
    w.caddr->setText("");
    w.JvXPButton1Click();
    w.caddr->setText("ftp://x/");
    w.JvXPButton1Click();
    EXPECT_EQ(home.dialogs.messages.size(), 2u);
    EXPECT_EQ(w.chanlist->topLevelItemCount(), 2);

    w.caddr->setText("http://127.0.0.1:8000/new");
    w.JvXPButton1Click();
    ASSERT_EQ(w.chanlist->topLevelItemCount(), 3);
    EXPECT_EQ(cell(w, 2, 0), "http://127.0.0.1:8000/new");
    EXPECT_EQ(cell(w, 2, 1), "?");
    EXPECT_EQ(w.nrchans->text(), "3");

    w.chanlist->topLevelItem(0)->setSelected(true);
    w.JvXPButton2Click();
    EXPECT_EQ(w.chanlist->topLevelItemCount(), 2);
    EXPECT_EQ(w.nrchans->text(), "2");
    EXPECT_EQ(home.file(), "; written by hand\r\n[Empty]\r\n"
                           "[http://127.0.0.1:8000/new]\r\nBitrate=?\r\n"
                           "URL=http://127.0.0.1:8000/new\r\n");
    EXPECT_TRUE(home.dialogs.messages.size() == 2u);

    RadioWindow again; // the next run sees the same list
    ASSERT_EQ(again.chanlist->topLevelItemCount(), 2);
    EXPECT_EQ(cell(again, 1, 2), "http://127.0.0.1:8000/new");

    RadioHome none("");
    RadioWindow empty;
    EXPECT_EQ(empty.chanlist->topLevelItemCount(), 0);
    EXPECT_EQ(empty.nrchans->text(), "");
}

TEST(RadioWindow, ConnectShowsStationAndTitlesAndHandsTheChannelOver) {
    StartAudio();
    Reply r;
    r.headers = {"icy-name:My Station", "icy-br:128"};
    r.metaInt = 16000;
    r.bytesPerSecond = 32000;
    r.audio = Mp3();
    // "Кино" in Windows-1251 first, then a title with a semicolon in it.
    r.titles = {"StreamTitle='\xCA\xE8\xED\xEE';", "StreamTitle='\xCA\xE8\xED\xEE';",
                "StreamTitle='Artist; Song';"};
    IcyServer server({r});
    RadioHome home("[Local]\r\nBitrate=128\r\nURL=" + QByteArray::fromStdString(server.url()) +
                   "\r\n");
    RadioWindow w;
    DWORD started = 0;
    QStringList titles;
    QObject::connect(&w, &RadioWindow::streamStarted, [&](DWORD c) { started = c; });
    QObject::connect(&w, &RadioWindow::titleChanged, [&](const QString &t) { titles << t; });
    EXPECT_FALSE(w.RadioInUse());

    connectRow(w, 0);
    EXPECT_EQ(w.Statuslbl->text(), "Connecting...");
    EXPECT_TRUE(w.RadioInUse());
    connectRow(w, 0); // still connecting: only a beep
    ASSERT_TRUE(WaitFor([&] { return started != 0; }));
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(BASS_ChannelIsActive(started), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(w.Statuslbl->text(), "ICY 200 OK");
    EXPECT_EQ(w.Channellbl->text(), "My Station");
    EXPECT_EQ(w.Label5->text(), "128");
    ASSERT_TRUE(WaitFor([&] { return !titles.isEmpty(); }));
    EXPECT_EQ(titles.first(), QString::fromUtf8("Кино"));
    EXPECT_TRUE(WaitFor([&] { return w.Label3->text() == "Artist; Song"; }));
    EXPECT_EQ(titles.last(), "Artist; Song");

    // The engine stops: the labels empty at once, and the window leaves the channel alone.
    w.EngineStopped();
    EXPECT_FALSE(w.RadioInUse());
    EXPECT_EQ(w.Label3->text(), "");
    EXPECT_EQ(w.Channellbl->text(), "");
    EXPECT_EQ(w.Label5->text(), "");
    EXPECT_EQ(BASS_ChannelIsActive(started), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_TRUE(BASS_StreamFree(started)); // what the engine does
}

TEST(RadioWindow, LateOrFailedConnectionsNeverReplaceWhatTheUserChose) {
    StartAudio();
    Reply silent;
    silent.silent = true;
    Reply slow;
    slow.answerDelayMs = 500;
    slow.audio = Mp3();
    IcyServer never({silent});
    IcyServer late({slow});
    int refused;
    {
        IcyServer gone({slow});
        refused = gone.port();
    }
    RadioHome home("[Never]\r\nURL=" + QByteArray::fromStdString(never.url()) +
                   "\r\n[Late]\r\nURL=" + QByteArray::fromStdString(late.url()) +
                   "\r\n[Refused]\r\nURL=http://127.0.0.1:" + QByteArray::number(refused) +
                   "/\r\n");
    RadioWindow w;
    int starts = 0, stops = 0;
    QObject::connect(&w, &RadioWindow::streamStarted, [&](DWORD) { ++starts; });
    QObject::connect(&w, &RadioWindow::stopped, [&] { ++stops; });

    // A station that never answers: Stop works at once and a new station can be chosen.
    connectRow(w, 0);
    ASSERT_TRUE(WaitFor([&] { return never.connections() == 1; }));
    w.EngineStopped();
    EXPECT_EQ(w.Statuslbl->text(), "");

    // A slow station overtaken by Stop: its stream is freed when it comes, never handed over.
    connectRow(w, 1);
    ASSERT_TRUE(WaitFor([&] { return late.connections() == 1; }));
    w.EngineStopped();
    EXPECT_TRUE(WaitFor([&] { return late.clientsGone() == 1; }));
    EXPECT_EQ(starts, 0);
    EXPECT_EQ(w.Statuslbl->text(), "");

    // A refused connection: "Not playing" and the error box with the library's code.
    connectRow(w, 2);
    ASSERT_TRUE(WaitFor([&] { return w.Statuslbl->text() == "Not playing"; }));
    ASSERT_EQ(home.dialogs.messages.size(), 1u);
    EXPECT_EQ(home.dialogs.messages[0].text, "Can't play the stream\r\n(error code: 2)");
    EXPECT_EQ(home.dialogs.messages[0].caption, "Error");
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(starts, 0);

    // A station that plays a little, then goes away and refuses to come back: once what
    // arrived has played, "Not playing" replaces "Reconnecting…" and the engine is told.
    Reply brief;
    brief.audio = Mp3();
    brief.audioBytes = 24000;
    Reply down;
    down.raw = "HTTP/1.0 503 Service Unavailable\r\n\r\n";
    IcyServer fading({brief, down});
    RadioHome again("[Fading]\r\nURL=" + QByteArray::fromStdString(fading.url()) + "\r\n");
    RadioWindow v;
    QObject::connect(&v, &RadioWindow::streamStarted, [&](DWORD) { ++starts; });
    QObject::connect(&v, &RadioWindow::stopped, [&] { ++stops; });
    connectRow(v, 0);
    ASSERT_TRUE(WaitFor([&] { return starts == 1; }));
    ASSERT_TRUE(WaitFor([&] { return v.Statuslbl->text() == "Not playing"; }, 15000));
    EXPECT_EQ(stops, 2);
    EXPECT_TRUE(again.dialogs.messages.empty());
    EXPECT_GE(fading.connections(), 2);
}
