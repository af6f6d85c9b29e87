#include "common/dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

namespace mirvane {

namespace {
DialogHandler *g_handler = nullptr; // GUI thread only

QMessageBox::Icon ToQt(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString Absolute(const QString &path) {
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}
} // namespace

void SetDialogHandler(DialogHandler *handler) {
    g_handler = handler;
}

void ShowMessage(const Message &message) {
    if (g_handler) {
        g_handler->message(message);
        return;
    }
    QMessageBox box(ToQt(message.icon), message.caption, message.text, QMessageBox::Ok,
                    message.owner);
    // Texts can come from files and tags: never interpret them as markup.
    box.setTextFormat(Qt::PlainText);
    if (message.foreground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.exec();
}

QString AskOpenFileName(QWidget *owner, const FileQuestion &question) {
    if (g_handler) {
        return Absolute(g_handler->openFileName(owner, question));
    }
    QFileDialog dialog(owner, question.title, question.directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!question.filters.isEmpty()) {
        dialog.setNameFilters(question.filters);
    }
    dialog.setDefaultSuffix(question.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return Absolute(dialog.selectedFiles().first());
}

QString AskSaveFileName(QWidget *owner, const FileQuestion &question) {
    if (g_handler) {
        return Absolute(g_handler->saveFileName(owner, question));
    }
    QFileDialog dialog(owner, question.title, question.directory);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (!question.filters.isEmpty()) {
        dialog.setNameFilters(question.filters);
    }
    dialog.setDefaultSuffix(question.defaultSuffix);
    if (!question.defaultSuffix.isEmpty()) {
        // A name typed without extension gets that of the filter chosen, so that choosing a
        // format is enough to save in it.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString &filter) {
                             static const QRegularExpression firstPattern(R"(\*\.(\w+))");
                             const auto match = firstPattern.match(filter);
                             if (match.hasMatch()) {
                                 dialog.setDefaultSuffix(match.captured(1));
                             }
                         });
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !question.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return Absolute(dialog.selectedFiles().first());
}

QString AskDirectory(QWidget *owner, const QString &title, const QString &start) {
    if (g_handler) {
        return Absolute(g_handler->directory(owner, title));
    }
    return Absolute(QFileDialog::getExistingDirectory(owner, title, start));
}

std::optional<QColor> AskColor(QWidget *owner, const QColor &initial) {
    if (g_handler) {
        return g_handler->color(owner, initial);
    }
    const QColor chosen = QColorDialog::getColor(initial, owner);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return chosen;
}

RecordingDialogs::RecordingDialogs() : previous_(g_handler) {
    g_handler = this;
}
RecordingDialogs::~RecordingDialogs() {
    g_handler = previous_;
}

void RecordingDialogs::message(const Message &m) {
    messages.push_back(m);
}

QString RecordingDialogs::openFileName(QWidget *, const FileQuestion &q) {
    questions.push_back(q);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString RecordingDialogs::saveFileName(QWidget *, const FileQuestion &q) {
    questions.push_back(q);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString RecordingDialogs::directory(QWidget *, const QString &title) {
    questions.push_back(FileQuestion{title, {}, {}, false, {}});
    return directoryAnswers.isEmpty() ? QString() : directoryAnswers.takeFirst();
}

std::optional<QColor> RecordingDialogs::color(QWidget *, const QColor &) {
    if (colorAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = colorAnswers.front();
    colorAnswers.erase(colorAnswers.begin());
    return answer;
}

} // namespace mirvane
