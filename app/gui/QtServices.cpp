// SPDX-License-Identifier: MIT
#include "QtServices.h"

#include "app/gui/InputHold.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

namespace tessaline {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

MsgAnswer QtServices::ShowMessage(const std::string& text, const std::optional<std::string>& title,
                                  MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(m_parent);
    box.setWindowTitle(Q(title.value_or(kApplicationTitle)));
    QString body = Q(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(body);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

std::string QtFileFilter(const std::string& filter) {
    // Description and pattern alternate, separated by "|".
    std::string out;
    size_t start = 0;
    while (start <= filter.size()) {
        const size_t bar = filter.find('|', start);
        const std::string description =
            filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        std::string pattern;
        if (bar != std::string::npos) {
            const size_t next = filter.find('|', bar + 1);
            pattern = filter.substr(bar + 1,
                                    next == std::string::npos ? std::string::npos : next - bar - 1);
            start = next == std::string::npos ? filter.size() + 1 : next + 1;
        } else {
            start = filter.size() + 1;
        }
        if (!out.empty()) {
            out += ";;";
        }
        std::string patterns = pattern;
        std::replace(patterns.begin(), patterns.end(), ';', ' ');
        // Qt takes the patterns from the parentheses, separated by spaces.
        const std::string inParentheses = "(" + pattern + ")";
        const size_t at = description.find(inParentheses);
        if (pattern.empty()) {
            out += description;
        } else if (at != std::string::npos) {
            out += description.substr(0, at) + "(" + patterns + ")" +
                   description.substr(at + inParentheses.size());
        } else {
            out += description + " (" + patterns + ")";
        }
    }
    return out;
}

FileChoice QtServices::OpenFileDialog(const std::string& initialFolder, const std::string& filter) {
    const QString path = QFileDialog::getOpenFileName(m_parent, QString(), Q(initialFolder),
                                                      Q(QtFileFilter(filter)));
    if (path.isEmpty()) {
        return {};
    }
    return {path.toStdString(), QFileInfo(path).fileName().toStdString()};
}

void QtServices::Sleep(int32_t milliseconds) {
    if (milliseconds <= 0) {
        return;
    }
    // The windows keep painting and answering the desktop while the program
    // waits, so it is never taken for hung. The user's input meanwhile is
    // dropped: kept for later, it would act after the command on a window
    // the user no longer sees as it was.
    InputHold hold(nullptr, [] { return true; });
    QEventLoop wait;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &wait, &QEventLoop::quit);
    wait.exec();
}

void QtServices::DoEvents() {
    QCoreApplication::processEvents();
}

} // namespace tessaline
