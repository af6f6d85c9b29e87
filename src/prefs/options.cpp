#include "prefs/options.h"

#include "prefs/settings.h"

namespace mirvane::prefs {

Page PageOfNode(int node) {
    if (node < 0 || node >= int(kTree.size())) {
        return Page::About;
    }
    return kTree[size_t(node)].page;
}

int NodeOfPage(Page page) {
    for (size_t i = 0; i < kTree.size(); ++i) {
        if (kTree[i].page == page) {
            return int(i);
        }
    }
    return kAboutNode;
}

StoredOptions ReadStoredOptions() {
    StoredOptions options;
    for (const OptionBox &box : kOptionBoxes) {
        options.*box.field = settings::ReadBool(QString::fromLatin1(box.key)).value_or(false);
    }
    return options;
}

bool IsChoosableSkinName(const QString &name, const QStringList &known) {
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') ||
        name.contains(QLatin1String(".."))) {
        return false;
    }
    return known.contains(name, Qt::CaseInsensitive);
}

QString PlaylistStyleSheet(const QString &base, const PlaylistLook &look) {
    QString sheet = base;
    if (look.background.isValid()) {
        sheet += QStringLiteral("QTreeView { background: %1; }").arg(look.background.name());
    }
    if (!look.fontFace.isEmpty()) {
        QString face = look.fontFace;
        face.remove(u'"').remove(u'\\');
        sheet += QStringLiteral("QTreeView { font-family: \"%1\"; }").arg(face);
    }
    if (look.gridLines) {
        sheet += QStringLiteral("QTreeView::item { border-right: 1px solid #404040; "
                                "border-bottom: 1px solid #404040; }");
    }
    if (look.flatScrollBars) {
        sheet += QStringLiteral("QScrollBar { background: #101010; border: none; width: 8px; "
                                "height: 8px; }"
                                "QScrollBar::handle { background: #383838; border: none; }");
    } else {
        sheet += QStringLiteral("QScrollBar::handle { border: 1px outset #808080; }");
    }
    return sheet;
}

QStringList CreditsText(const QString &version) {
    return {
        "[b][center][font=verdana][size=20][u][color=12345]Mirvane Player",
        "",
        "[b][center][font=verdana][size=13][color=56829]Version " + version,
        "",
        "[center]Supporting:",
        "[center]MP1, MP2, MP3, XM, IT, S3M,",
        "[center]MOD, MTM, OGG, WAV, M3U",
        "[center]Shoutcast streaming",
        "[center]Sonique visual plugins",
        "",
        "[center][i]Skins, equalizer and effects",
        "[center][i]ID3v2 tag editor",
        "",
        "[b][center][color=65535]Made by Halvorn",
        "",
        "[center]Thanks for listening!",
    };
}

} // namespace mirvane::prefs
