#include "vis/sonique_page.h"

#include "vis/plugin_list.h"
#include "vis/sonique_window.h"

#include "bass_vis.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace mirvane::vis {

SoniquePage::SoniquePage(const QString &programDir, QWidget *parent, const QString &settingsFile)
    : QWidget(parent),
      settingsFile_(settingsFile.isEmpty() ? programDir + "vis.ini" : settingsFile) {
    setObjectName("SoniquePage");
    resize(258, 159);

    ListPlugs = new QTreeWidget(this);
    ListPlugs->setObjectName("ListPlugs");
    ListPlugs->setGeometry(0, 0, 257, 89);
    ListPlugs->setHeaderLabels({"Plugin name"});
    ListPlugs->setColumnWidth(0, 250);
    ListPlugs->setRootIsDecorated(false);
    ListPlugs->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListPlugs->setSelectionMode(QAbstractItemView::SingleSelection);

    auto button = [this](const char *name, const char *caption, int x, int w) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(x, 96, w, 17);
        return b;
    };
    button3 = button("button3", "Start", 7, 57);
    JvXPButton5 = button("JvXPButton5", "Scan for plugins", 83, 89);
    button4 = button("button4", "Stop", 192, 57);

    Label1 = new QLabel("Search Path", this);
    Label1->setObjectName("Label1");
    QFont italic = Label1->font();
    italic.setItalic(true);
    Label1->setFont(italic);
    Label1->move(8, 118);
    Label1->adjustSize();
    Edit1 = new QLineEdit(programDir + "vis/", this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(8, 133, 241, Edit1->sizeHint().height());

    connect(JvXPButton5, &QPushButton::clicked, this, &SoniquePage::JvXPButton5Click);
    connect(button3, &QPushButton::clicked, this, &SoniquePage::button3Click);
    connect(button4, &QPushButton::clicked, this, &SoniquePage::button4Click);
}

SoniquePage::~SoniquePage() {
    delete window_;
}

SoniqueWindow *SoniquePage::Window() const {
    return window_.data();
}

QString SoniquePage::SelectedFile() const {
    const QModelIndex current = ListPlugs->currentIndex();
    const QList<QTreeWidgetItem *> chosen = ListPlugs->selectedItems();
    if (chosen.isEmpty() || !current.isValid())
        return {};
    const int row = ListPlugs->indexOfTopLevelItem(chosen.first());
    return row >= 0 && row < files_.size() ? files_[row] : QString();
}

void SoniquePage::JvXPButton5Click() {
    ListPlugs->clear();
    const char *found = BASS_VIS_FindPlugins(Edit1->text().toUtf8().constData(),
                                             BASS_VIS_FIND_SONIQUE | BASS_VIS_FIND_COMMALIST);
    const QStringList items = SplitPluginList(QString::fromUtf8(found ? found : ""));
    for (const QString &file : items) {
        const HVIS h =
            BASS_SONIQUEVIS_CreateVis(file.toUtf8().constData(), "", BASS_VIS_NAME_ONLY, 0, 0);
        // Every file keeps its row, so rows and files stay in step; one that cannot be
        // opened has an empty caption and says why in its tooltip.
        auto *row = new QTreeWidgetItem(ListPlugs);
        if (h) {
            row->setText(0, QString::fromUtf8(BASS_SONIQUEVIS_GetName(h)));
        } else {
            const QString why = QString::fromUtf8(BASS_VIS_GetErrorText());
            qWarning("%s (skipped)", qPrintable(why));
            row->setToolTip(0, why);
        }
        BASS_SONIQUEVIS_Free(h);
    }
    files_ = items;
}

void SoniquePage::button3Click() {
    if (ListPlugs->selectedItems().isEmpty())
        return; // nothing chosen: nothing to start
    // A hidden window of an earlier Start is not used again.
    if (window_)
        window_->deleteLater();
    window_ =
        new SoniqueWindow({[this] { return SelectedFile(); }, [this] { return SettingsFile(); }});
    window_->show();
    window_->StartRendering();
    button3->setEnabled(false);
    button4->setEnabled(true);
}

void SoniquePage::button4Click() {
    if (window_)
        window_->StopRendering();
    button3->setEnabled(true);
    button4->setEnabled(false);
}

} // namespace mirvane::vis
