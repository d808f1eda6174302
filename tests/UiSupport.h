// Helpers of the window tests: modal windows answered from a timer as a person would answer them.
#pragma once

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

#include "TrackFiles.h"
#include "ui/qt/frmMain.h"
#include "ui/qt/mFileDialog.h"

// Texts in failure messages as text rather than bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace railgrace::test {

using Handler = std::function<void(QWidget*)>;

// Runs action, which may block in modal windows, and answers each modal window that appears
// with the next handler. A window that no handler is left for is rejected and reported, so that
// an action can never wait for a person.
inline void Answer(const std::function<void()>& action, const std::vector<Handler>& handlers) {
    std::size_t next = 0;
    QStringList problems;
    QWidget* previous = nullptr;
    QObject pending;  // owns the armed timer, so that none outlives this call
    std::function<void()> poll = [&] {
        // Armed before answering: an answer may block in a nested modal window (a confirmation
        // inside a file dialog), which needs answering too.
        QTimer::singleShot(10, &pending, poll);
        // A window is answered once it has been the active modal window for two polls in a
        // row: a file dialog just shown is not ready for typing.
        QWidget* modal = QApplication::activeModalWidget();
        const bool settled = modal == previous;
        previous = modal;
        if (modal == nullptr || !modal->isVisible() || !settled) return;
        if (next == handlers.size()) {
            problems.append(QStringLiteral("unanswered window \"%1\"").arg(modal->windowTitle()));
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            return;
        }
        handlers[next++](modal);
    };
    QTimer::singleShot(10, &pending, poll);
    action();
    if (next < handlers.size()) problems.append(QStringLiteral("expected windows never appeared"));
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
}

// Clicks a button as a person would and answers the modal windows its command opens.
inline void Click(QWidget* button, const std::vector<Handler>& handlers = {}) {
    Answer([button] { QTest::mouseClick(button, Qt::LeftButton); }, handlers);
}

// Records a message box's title and text into seen and presses its button `button`.
inline Handler Press(QStringList& seen, QMessageBox::StandardButton button = QMessageBox::Ok) {
    return [&seen, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box != nullptr && box->button(button) != nullptr) << "no such message box";
        seen = {box->windowTitle(), box->text()};
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    };
}

// Records a file dialog (caption, file types, name field) into seen, types name into its
// name field and presses Open or Save; an empty name presses Cancel.
inline Handler Type(QStringList& seen, const std::string& name) {
    return [&seen, name](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* field = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = modal->findChild<QDialogButtonBox*>();
        ASSERT_TRUE(dialog && field && buttons) << "expected a file dialog";
        seen = {dialog->windowTitle(), dialog->nameFilters().join(u';'), field->text()};
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, QString::fromStdString(name));
        const bool save = dialog->acceptMode() == QFileDialog::AcceptSave;
        const auto accept = save ? QDialogButtonBox::Save : QDialogButtonBox::Open;
        QTest::mouseClick(buttons->button(name.empty() ? QDialogButtonBox::Cancel : accept),
                          Qt::LeftButton);
    };
}

}  // namespace railgrace::test
