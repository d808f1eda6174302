// The Qt window and Qt's file dialogs as the program shows them, driven by typing and clicking as
// a person would: the window's layout, its texts shown whole whatever the desktop's font, and one
// click-through (the command flow itself is tested without a window). The tests run inside one
// QApplication, headless unless a platform is named.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>
#include <cstdlib>

#include "TrackFiles.h"
#include "ui/qt/frmMain.h"
#include "ui/qt/mFileDialog.h"

namespace railgrace {
namespace {

using namespace test;

// Answers a modal window as a person would, and appends what it shows to seen: a message box's
// text, after which the button of that text is pressed; a file dialog's file types and name
// field, after which answer is typed into that field and Open or Save pressed, or Cancel when it
// is empty.
void Reply(QWidget* modal, const std::string& answer, QStringList& seen) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        seen << box->text();
        for (QAbstractButton* button : box->buttons())
            if (button->text().remove(u'&').toStdString() == answer)
                QTest::mouseClick(button, Qt::LeftButton);
        return;
    }
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    auto* field = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = modal->findChild<QDialogButtonBox*>();
    ASSERT_TRUE(dialog && field && buttons) << "expected a file dialog";
    seen << dialog->nameFilters().join(u';') << field->text();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QString::fromStdString(answer));
    const auto accept = dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                        : QDialogButtonBox::Open;
    QTest::mouseClick(buttons->button(answer.empty() ? QDialogButtonBox::Cancel : accept),
                      Qt::LeftButton);
}

// Clicks button as a person would, replies to each modal window that its command opens with the
// next of answers and returns the title and texts of each. A window that no answer is left for is
// rejected and reported, so that a click can never wait for a person.
QStringList Click(QWidget* button, const std::vector<std::string>& answers = {}) {
    std::size_t next = 0;
    QStringList seen;
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
        if (next < answers.size())
            return Reply(modal, answers[next++], seen << modal->windowTitle());
        ADD_FAILURE() << "unanswered window " << modal->windowTitle().toStdString();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    };
    QTimer::singleShot(10, &pending, poll);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(next, answers.size()) << "expected windows never appeared";
    return seen;
}

// The window as drawn (geometry: twips / 15) and centred; then loaded, smoothed and saved under
// a typed name through the real dialogs, as the CLI saves it.
TEST(Window, LooksAsDrawnAndSavesUnderATypedNameAsTheCliDoes) {
    TempFolder folder;
    const std::string sample = folder.Write("sample.svtrack", ReadFile(RAILGRACE_SAMPLE));
    const std::string damaged = folder.Write("damaged.svtrack", {'S', 'K', 'Y', 'V', 1});
    // Something is already where the track is saved and must be confirmed away.
    const std::string target = folder.Write("smoothed.svtrack", ReadFile(RAILGRACE_SAMPLE));
    frmMain window;
    window.CentreOnScreen();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Skyvault Railgrace V1.1"));
    for (QSize size : {window.size(), window.minimumSize(), window.maximumSize()})
        EXPECT_EQ(size, QSize(338, 72));
    const QString credits = QStringLiteral(  // one paragraph a line
        "Skyvault - Railgrace v1.1 for SV_v1.3 - Coded by Quillon\n"
        "If you find a bug, you can keep it. ...or report... ;)\n"
        "      \n");
    // In tab order, whatever is enabled. (The credits box has no scroll bars, or its texts would
    // not show whole in the fonts test.)
    using Row = std::tuple<QString, QString, QRect, bool>;  // name, text, geometry, enabled
    const std::vector<Row> rows{{"btnOpen", "Load Track", {8, 8, 97, 21}, true},
                                {"btnModify", "Smooth it!", {120, 8, 97, 21}, false},
                                {"btnSaveAs", "Save Track as", {232, 8, 97, 21}, false},
                                {"Text1", credits, {8, 32, 321, 33}, true}};
    std::vector<QWidget*> controls{&window};
    for (const Row& row : rows) {
        QWidget* control = controls.back();
        do control = control->nextInFocusChain();
        while ((control->focusPolicy() & Qt::TabFocus) == 0);
        controls.push_back(control);
        const char* text = control->inherits("QPlainTextEdit") ? "plainText" : "text";
        EXPECT_EQ(Row(control->objectName(), control->property(text).toString(),
                      control->geometry(), control->isEnabled()),
                  row);
    }
    // The frame is not known before the first show, so the centre may be off by its thickness.
    const QPoint offset =
        window.frameGeometry().center() - window.screen()->availableGeometry().center();
    const QSize frame = window.frameGeometry().size() - window.size();
    EXPECT_TRUE(std::abs(offset.x()) <= frame.width() / 2 + 1 &&
                std::abs(offset.y()) <= frame.height() / 2 + 1);

    // A missing file leaves the open dialog open; a name typed without extension is taken.
    const QStringList open = Click(controls[1], {"missing.svtrack", folder / "sample"});
    EXPECT_EQ(open.mid(0, 3), QStringList({"Open Track...", "Skyvault Tracks (*.svtrack)", ""}));
    // A damaged file is shown in an error box and leaves the track loaded before.
    const QStringList error = Click(controls[1], {damaged, "OK"}).mid(3);
    EXPECT_TRUE(error.value(0) == "Load Track" && error.value(1).contains("damaged.svtrack"))
        << error.join(u'\n').toStdString();
    Click(controls[2]);
    // A cancel leaves all alone; the file already there is replaced once that is confirmed.
    EXPECT_EQ(Click(controls[3], {""}),
              QStringList({"Save Track As...", "Skyvault Tracks (*.svtrack)", "sample.svtrack"}));
    Click(controls[3], {"smoothed", "Yes"});
    const std::string byCli = folder / "cli.svtrack";
    const QStringList args{"smooth", QtPath(sample), "-o", QtPath(byCli)};
    ASSERT_EQ(QProcess::execute(QStringLiteral(RAILGRACE_CLI), args), 0);
    EXPECT_EQ(ReadFile(target), ReadFile(byCli));
    // The question comes from the prompt bit: a save without it replaces a file unasked.
    EXPECT_EQ(DialogSetupFromFlags(true, 0x4).options,
              QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    // Each file type's patterns are appended to its description unless it ends with them.
    EXPECT_EQ(NameFiltersFromConverted(QString::fromStdString(ConvertFilter("A|*.a;*.b:T (*)|*"))),
              QStringList({"A (*.a *.b)", "T (*)"}));
}

// Whether the credits box shows, in font, every line inside its width and the first two inside
// its height, as it lays them out.
bool CreditsShowWhole(QPlainTextEdit* box, const QFont& font) {
    box->setFont(font);
    const QSize room = box->viewport()->size();
    for (int line = 0; line < box->document()->blockCount(); ++line) {
        QTextCursor end(box->document()->findBlockByNumber(line));
        end.movePosition(QTextCursor::EndOfBlock);
        const QRect cursor = box->cursorRect(end);
        if (cursor.left() + box->document()->documentMargin() > room.width()) return false;
        if (line < 2 && cursor.bottom() >= room.height()) return false;
    }
    return true;
}

// Under the desktop's font and larger and smaller ones, the credits box (which has no scroll bars
// to take room) keeps the default font while its lines fit in it, and otherwise gets its family at
// the largest size, in half points, that shows them whole. The buttons, which are made smaller in
// the same way, share one font, so that the row looks even.
TEST(WindowFonts, TextsShowWholeInTheDefaultFontMadeSmallerOnlyAsFarAsNeeded) {
    const QFont desktop = QApplication::font();
    // The application font's size (0: the desktop's) and whether the fonts are made smaller.
    using Row = std::pair<double, std::optional<bool>>;
    for (const auto& [points, smaller] :
         {Row{0, std::nullopt}, Row{5, false}, Row{11, true}, Row{14, true}}) {
        SCOPED_TRACE(testing::Message() << points << " pt");
        QFont font = desktop;
        if (points > 0) font.setPointSizeF(points);
        QApplication::setFont(font);
        frmMain window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto* box = window.findChild<QPlainTextEdit*>();
        const bool reduced = box->testAttribute(Qt::WA_SetFont);
        QFont shown = box->font();
        EXPECT_EQ(reduced, smaller.value_or(reduced));
        EXPECT_EQ(shown.family(), font.family());
        EXPECT_TRUE(CreditsShowWhole(box, shown));
        EXPECT_EQ(CreditsShowWhole(box, font), !reduced);
        shown.setPointSizeF(shown.pointSizeF() + 0.5);
        EXPECT_TRUE(!reduced || !CreditsShowWhole(box, shown))
            << "it would fit half a point larger";
        const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
        for (QPushButton* button : buttons)
            EXPECT_EQ(std::pair(button->testAttribute(Qt::WA_SetFont), button->font()),
                      std::pair(smaller.value_or(buttons[0]->testAttribute(Qt::WA_SetFont)),
                                buttons[0]->font()));
    }
    QApplication::setFont(desktop);
}

}  // namespace
}  // namespace railgrace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    // Nothing handles SIGALRM, so a run that outlives QTEST_FUNCTION_TIMEOUT ms ends ("Alarm
    // clock"): a failed run, and a failed test, as CTest runs each test on its own.
    if (const char* limit = std::getenv("QTEST_FUNCTION_TIMEOUT"))
        alarm(static_cast<unsigned>(std::max(std::atoi(limit), 0) + 999) / 1000);
    return RUN_ALL_TESTS();
}
