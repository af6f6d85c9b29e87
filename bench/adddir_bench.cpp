// Adding a whole folder: a tree of small tagged MP3s (an ID3v2 tag and a few MPEG frames each)
// is added through the add-directory dialog of a started program, with the playlist window
// shown. Measures the time from the click to the last row in the list (and painted), and the
// longest stall of the GUI thread's event loop meanwhile (a 5 ms QTimer probe: the largest gap
// between its ticks beyond its interval). Also the walk alone and the walk with tag reads.
// The files are freshly written, so the file system cache is warm.
// Run from the build folder (it needs the skins beside the executable):
//   QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ./bench/adddir_bench [files...]
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "../tests/adddir_support.h"
#include "app/startup.h"
#include "common/dialogs.h"
#include "playback/add_directory_dialog.h"
#include "playback/folder_walk.h"
#include "playback/playlist_window.h"
#include "tags/id3v2.h"
#include "tags/title_lookup.h"

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// files MP3s in folders of 100: "<root>/disc <d>/<n> track.mp3", each tagged.
void MakeTree(const QString &root, int files) {
    for (int i = 0; i < files; ++i) {
        const QString folder = root + QString("/disc %1").arg(i / 100 + 1);
        if (i % 100 == 0) {
            QDir().mkpath(folder);
        }
        const std::string path = (folder + QString("/%1 track.mp3").arg(i % 100 + 1)).toStdString();
        adddir_test::WriteTaggedMp3(path, "Artist " + std::to_string(i / 100),
                                    "Title number " + std::to_string(i));
    }
}

// The longest stall of the event loop: a 5 ms timer that notes the largest gap between ticks.
class StallProbe {
  public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const qint64 cpu = ThreadCpuNs();
            if (now - last_ > worst_) {
                worst_ = now - last_;
                worstAt_ = last_;
                worstCpu_ = cpu - lastCpu_;
            }
            mostBusy_ = std::max(mostBusy_, cpu - lastCpu_);
            last_ = now;
            lastCpu_ = cpu;
        });
    }
    void Start() {
        worst_ = worstCpu_ = mostBusy_ = 0;
        clock_.start();
        last_ = 0;
        lastCpu_ = ThreadCpuNs();
        timer_.start();
    }
    // The largest gap minus the interval, in ms.
    double WorstStallMs() {
        timer_.stop();
        return std::max<double>(0, static_cast<double>(worst_) / 1e6 - timer_.interval());
    }
    // When the longest stall began, in ms from Start.
    double WorstAtMs() const { return static_cast<double>(worstAt_) / 1e6; }
    // The GUI thread's own CPU time within the longest stall: far below the stall, the thread
    // was waiting for a core (the machine is shared), not working.
    double WorstCpuMs() const { return static_cast<double>(worstCpu_) / 1e6; }
    // The most CPU time the GUI thread spent between two ticks: the longest stall its own work
    // would make on a core of its own.
    double MostBusyMs() const { return static_cast<double>(mostBusy_) / 1e6; }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
    qint64 worstAt_ = 0;
    qint64 worstCpu_ = 0;
    qint64 lastCpu_ = 0;
    qint64 mostBusy_ = 0;

    static qint64 ThreadCpuNs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64{t.tv_sec} * 1000000000 + t.tv_nsec;
    }
};

struct AddRun {
    double rowsMs = 0;  // click to the last row in the list
    double shownMs = 0; // and then scrolled to and painted
    double endMs = 0;   // click to the dialog's end
    double stallMs = 0;
    double busyMs = 0; // the most GUI-thread CPU time between two probe ticks
};

AddRun AddThroughDialog(PlaylistWindow &list, const QString &folder, int files) {
    list.Rows().clear();
    QMetaObject::invokeMethod(&list, "AddDirectoryClick");
    auto *dialog = list.findChild<AddDirectoryDialog *>("diradd");
    dialog->SelectFolder(folder);

    AddRun run;
    QElapsedTimer clock;
    bool allRows = false, ended = false;
    const auto rowsConn = QObject::connect(&list.Rows(), &QAbstractItemModel::rowsInserted,
                                           [&](const QModelIndex &, int, int last) {
                                               if (last + 1 == files && !allRows) {
                                                   allRows = true;
                                                   run.rowsMs = clock.nsecsElapsed() / 1e6;
                                               }
                                           });
    QObject::connect(dialog, &AddDirectoryDialog::searchEnded, [&] {
        ended = true;
        run.endMs = clock.nsecsElapsed() / 1e6;
    });
    StallProbe probe;
    probe.Start();
    clock.start();
    dialog->JvXPButton1->click();
    while (!ended) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    list.ListView1->scrollToBottom();
    list.ListView1->viewport()->repaint();
    run.shownMs = clock.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    run.stallMs = probe.WorstStallMs();
    run.busyMs = probe.MostBusyMs();
    std::printf("  run: last row %.1f ms, longest stall %.1f ms at %.1f ms (GUI thread busy %.1f "
                "ms of it); most GUI work between two ticks %.1f ms\n",
                run.rowsMs, run.stallMs, probe.WorstAtMs(), probe.WorstCpuMs(), run.busyMs);
    QObject::disconnect(rowsConn);
    if (list.RowCount() != files) {
        std::printf("  !! %d rows, expected %d\n", list.RowCount(), files);
    }
    return run;
}

void Report(const char *what, int files, const std::vector<AddRun> &runs) {
    std::vector<double> rows, shown, end, stall, busy;
    for (const AddRun &r : runs) {
        rows.push_back(r.rowsMs);
        shown.push_back(r.shownMs);
        end.push_back(r.endMs);
        stall.push_back(r.stallMs);
        busy.push_back(r.busyMs);
    }
    std::printf("%-28s %6d files: last row in list %7.1f ms, shown %7.1f ms, end %7.1f ms; "
                "longest GUI stall %5.1f ms, most GUI work between ticks %5.1f ms (medians of %zu; "
                "worst of all: stall %5.1f ms, work %5.1f ms)\n",
                what, files, Median(rows), Median(shown), Median(end), Median(stall), Median(busy),
                runs.size(), *std::max_element(stall.begin(), stall.end()),
                *std::max_element(busy.begin(), busy.end()));
}

void WalkOnly(const QString &folder, int files) {
    mirvane::WalkOptions options;
    options.root = folder.toStdString();
    options.masks = {"*.mp3"};
    std::vector<double> walk, tags;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        size_t n = 0;
        mirvane::WalkFolder(options, {}, [&](const std::filesystem::path &) { ++n; });
        walk.push_back(clock.nsecsElapsed() / 1e6);

        Id3v2Tag tag;
        clock.start();
        mirvane::WalkFolder(options, {}, [&](const std::filesystem::path &p) {
            GetSongInfo(tag, QFile::decodeName(p.native().c_str()));
        });
        tags.push_back(clock.nsecsElapsed() / 1e6);
        if (n != static_cast<size_t>(files)) {
            std::printf("  !! walk found %zu\n", n);
        }
    }
    std::printf("walk alone (worker side)     %6d files: %7.1f ms; with tag reads %7.1f ms\n",
                files, Median(walk), Median(tags));
}

} // namespace

int main(int argc, char **argv) {
    mirvane::Application app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty()) {
        sizes = {10000, 50000};
    }

    QTemporaryDir home;
    const QString build = QCoreApplication::applicationDirPath() + "/..";
    QFile::copy(build + "/Skins.ini", home.path() + "/Skins.ini");
    QProcess::execute("cp", {"-r", build + "/Skins", home.path() + "/Skins"});
    QFile f(home.path() + "/playlist.m3u");
    f.open(QIODevice::WriteOnly);
    f.write("#EXTM3U\r\n");
    f.close();
    qputenv("MIRVANE_HOME", home.path().toUtf8());
    qputenv("MIRVANE_SETTINGS", (home.path() + "/settings.conf").toUtf8());
    mirvane::RecordingDialogs dialogs;
    mirvane::StartOptions options;
    options.commandLine = '"' + QCoreApplication::applicationFilePath() + '"';
    auto program = mirvane::StartProgram(options);
    PlaylistWindow &list = *program->playlist;
    list.show();

    for (int files : sizes) {
        QTemporaryDir tree;
        QElapsedTimer clock;
        clock.start();
        MakeTree(tree.path(), files);
        std::printf("made %d tagged MP3s in %.0f ms\n", files, clock.nsecsElapsed() / 1e6);
        WalkOnly(tree.path(), files);
        std::vector<AddRun> runs;
        for (int i = 0; i < (files <= 10000 ? 5 : 3); ++i) {
            runs.push_back(AddThroughDialog(list, tree.path(), files));
        }
        Report("add through the dialog", files, runs);
    }
    program.reset();
    return 0;
}
