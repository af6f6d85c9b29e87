// Shows the radio window connected to a local scripted station, for looking at by eye:
//   radio_gallery [seconds] [shot.png]   (default: 5 s; the PNG is grabbed from the window)
// The station sends a Cyrillic title in Windows-1251 and a station name in UTF-8.
#include "radio_server.h"

#include "bass.h"
#include "radio/radio_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QTreeWidget>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const QString shot = argc > 2 ? argv[2] : "radio_window.png";
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    radiotest::Reply r;
    r.headers = {"icy-name:Радио Мирвана – Test", "icy-br:128"};
    r.metaInt = 8192;
    r.titles = {"StreamTitle='\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8';"};
    r.audio =
        radiotest::readFile(std::string(MIRVANE_TEST_DATA) + "/audio/mp3_cbr_stereo_44100.mp3");
    radiotest::IcyServer server({r});
    const QString home = QDir::tempPath() + "/radio_gallery";
    QDir().mkpath(home);
    qputenv("MIRVANE_HOME", home.toUtf8());
    QFile f(home + "/iradio.ini");
    f.open(QIODevice::WriteOnly);
    f.write("[Local station]\r\nBitrate=128\r\nURL=" + QByteArray::fromStdString(server.url()) +
            "\r\n[Another]\r\nBitrate=64\r\nURL=http://127.0.0.1:9/\r\n");
    f.close();
    RadioWindow w;
    w.show();
    w.chanlist->topLevelItem(0)->setSelected(true);
    w.chanlistDblClick();
    QTimer::singleShot(seconds * 1000, [&] {
        w.grab().save(shot);
        app.quit();
    });
    app.exec();
    BASS_Free();
    return 0;
}
