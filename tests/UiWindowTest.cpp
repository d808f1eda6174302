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

// Texts in failure messages as text rather than bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace railgrace {
namespace {

using namespace test;
using Handler = std::function<void(QWidget*)>;

// Runs action, which may block in modal windows, and answers each modal window that appears
// with the next handler. A window that no handler is left for is rejected and reported, so that
// an action can never wait for a person.
void Answer(const std::function<void()>& action, const std::vector<Handler>& handlers) {
    std::size_t next = 0;
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
        if (next < handlers.size()) return handlers[next++](modal);
        ADD_FAILURE() << "unanswered window " << modal->windowTitle().toStdString();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    };
    QTimer::singleShot(10, &pending, poll);
    action();
    EXPECT_EQ(next, handlers.size()) << "expected windows never appeared";
}

// Clicks a button as a person would and answers the modal windows its command opens.
void Click(QWidget* button, const std::vector<Handler>& handlers = {}) {
    Answer([button] { QTest::mouseClick(button, Qt::LeftButton); }, handlers);
}

// Records a message box's title and text into seen and presses its button `button`.
Handler Press(QStringList& seen, QMessageBox::StandardButton button = QMessageBox::Ok) {
    return [&seen, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box != nullptr && box->button(button) != nullptr) << "no such message box";
        seen = {box->windowTitle(), box->text()};
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    };
}

// Records a file dialog (caption, file types, name field) into seen, types name into its
// name field and presses Open or Save; an empty name presses Cancel.
Handler Type(QStringList& seen, const std::string& name) {
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

// The window as drawn (geometry: twips / 15) and centred; then loaded, smoothed and saved under
// a typed name through the real dialogs, as the CLI saves it; closing it ends the program.
TEST(Window, LooksAsDrawnAndSavesUnderATypedNameAsTheCliDoes) {
    TempFolder folder;
    const Bytes sampleBytes = ReadFile(RAILGRACE_SAMPLE);
    const std::string sample = folder.Write("sample.svtrack", sampleBytes);
    const std::string damaged = folder.Write("damaged.svtrack", {'S', 'K', 'Y', 'V', 1});
    // Something is already where the track is saved and must be confirmed away.
    const std::string target = folder.Write("smoothed.svtrack", sampleBytes);
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
    // In tab order, whatever is enabled.
    using Row = std::tuple<QString, QString, QRect, bool>;
    const std::vector<Row> rows{{"btnOpen", "Load Track", {8, 8, 97, 21}, true},
                                {"btnModify", "Smooth it!", {120, 8, 97, 21}, false},
                                {"btnSaveAs", "Save Track as", {232, 8, 97, 21}, false},
                                {"Text1", credits, {8, 32, 321, 33}, true}};
    std::vector<QWidget*> controls{&window};
    for (const auto& [name, text, geometry, enabled] : rows) {
        SCOPED_TRACE(name.toStdString());
        QWidget* control = controls.back();
        do control = control->nextInFocusChain();
        while ((control->focusPolicy() & Qt::TabFocus) == 0);
        controls.push_back(control);
        EXPECT_EQ(control->objectName(), name);
        const bool box = control->inherits("QPlainTextEdit");
        EXPECT_EQ(control->property(box ? "plainText" : "text").toString(), text);
        EXPECT_EQ(control->geometry(), geometry);
        EXPECT_EQ(control->isEnabled(), enabled);
    }
    const auto* text1 = qobject_cast<QPlainTextEdit*>(controls[4]);
    EXPECT_EQ(std::pair(text1->verticalScrollBarPolicy(), text1->horizontalScrollBarPolicy()),
              std::pair(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff));
    // The frame is not known before the first show, so the centre may be off by its thickness.
    const QPoint offset =
        window.frameGeometry().center() - window.screen()->availableGeometry().center();
    const QSize frame = window.frameGeometry().size() - window.size();
    EXPECT_LE(std::abs(offset.x()), frame.width() / 2 + 1);
    EXPECT_LE(std::abs(offset.y()), frame.height() / 2 + 1);

    QStringList open, error, save, again, declined, confirmed;
    Click(controls[1], {Type(open, sample)});
    EXPECT_EQ(open, QStringList({"Open Track...", "Skyvault Tracks (*.svtrack)", ""}));
    // A damaged file is shown in an error box and leaves the track loaded before.
    Click(controls[1], {Type(open, damaged), Press(error)});
    EXPECT_TRUE(error.value(0) == "Load Track" && error.value(1).contains("damaged.svtrack"))
        << error.join(u'\n').toStdString();
    Click(controls[2]);
    // Declining the replacement returns to the dialog; cancelling it then leaves all alone.
    Click(controls[3], {Type(save, "smoothed"), Press(declined, QMessageBox::No), Type(again, "")});
    EXPECT_EQ(save,
              QStringList({"Save Track As...", "Skyvault Tracks (*.svtrack)", "sample.svtrack"}));
    EXPECT_TRUE(declined.join(u' ').contains(QStringLiteral("smoothed.svtrack")));
    EXPECT_EQ(ReadFile(target), sampleBytes);
    // The question comes from the prompt bit: a save without it replaces a file unasked.
    EXPECT_EQ(DialogSetupFromFlags(true, 0x4).options,
              QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);

    Click(controls[3], {Type(save, "smoothed"), Press(confirmed, QMessageBox::Yes)});
    EXPECT_EQ(window.Commands().CurrentPath(), target);
    QProcess cli;
    const std::string byCli = folder / "cli.svtrack";
    cli.start(QStringLiteral(RAILGRACE_CLI),
              {"smooth", QString::fromStdString(sample), "-o", QString::fromStdString(byCli)});
    ASSERT_TRUE(cli.waitForFinished(30000) && cli.exitCode() == 0);
    EXPECT_EQ(ReadFile(target), ReadFile(byCli));
    EXPECT_NE(ReadFile(target), sampleBytes);
    // Should closing not end the event loop, the second timer ends it with a code that tells.
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    QTimer::singleShot(5000, &window, [] { QApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

// A missing file leaves the open dialog open; one typed without extension is taken, and its name
// and file type come back. Each file type's patterns are appended to its description unless it
// ends with them. (A cancel is the window's.)
TEST(RealFileDialogs, OpenTakesAnExistingFileAndGivesBackItsNameAndType) {
    TempFolder folder;
    const std::string there = folder.Write("there.svtrack", {});
    FileDialogRequest request{.fileName = folder / "first.svtrack",
                              .fileMustExist = true,
                              .filter = "A|*.a;*.b:Tracks (*.svtrack)|*.svtrack",
                              .filterIndex = 2,
                              .defaultExt = "svtrack"};
    bool confirmed = false;
    QStringList seen;
    Answer([&] { confirmed = ShowOpenFileDialog(request, nullptr); },
           {Type(seen, "missing.svtrack"), Type(seen, "there")});
    EXPECT_EQ(seen.value(1), QStringLiteral("A (*.a *.b);Tracks (*.svtrack)"));
    EXPECT_EQ(std::tuple(confirmed, request.fileName, request.fileTitle, request.filterIndex),
              std::tuple(true, there, std::string("there.svtrack"), 2));
}

// Whether control shows its whole text in its font: a caption inside the rectangle its style
// draws it in; every credits line, as the box lays it out, inside the box's width and the first
// two inside its height.
bool ShowsWhole(QWidget* control) {
    if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
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
    auto* button = qobject_cast<QPushButton*>(control);
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    return contents.contains(QRect(
        contents.topLeft(), button->fontMetrics().size(Qt::TextShowMnemonic, button->text())));
}

bool AllShowWhole(const QList<QWidget*>& controls, const QFont& font) {
    for (QWidget* control : controls) control->setFont(font);
    return std::ranges::all_of(controls, ShowsWhole);
}

// Under the desktop's font and larger and smaller ones: the buttons together, and the credits
// box, keep the default font while their texts fit in it, and otherwise get its family at the
// largest size, in half points, that shows them whole.
TEST(WindowFonts, TextsShowWholeInTheDefaultFontMadeSmallerOnlyAsFarAsNeeded) {
    const QFont desktop = QApplication::font();
    // The application font's size (0: the desktop's) and whether the fonts are made smaller.
    using Row = std::pair<double, std::optional<bool>>;
    for (const auto& [points, smaller] :
         {Row{0, std::nullopt}, Row{5, false}, Row{11, true}, Row{14, true}}) {
        QFont font = desktop;
        if (points > 0) font.setPointSizeF(points);
        QApplication::setFont(font);
        frmMain window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        for (const QStringList& names :
             {QStringList{"btnOpen", "btnModify", "btnSaveAs"}, QStringList{"Text1"}}) {
            SCOPED_TRACE(
                QStringLiteral("%1 pt, %2").arg(points).arg(names.join(u' ')).toStdString());
            QList<QWidget*> group;
            for (const QString& name : names) group.append(window.findChild<QWidget*>(name));
            const bool reduced = group[0]->testAttribute(Qt::WA_SetFont);
            QFont shown = group[0]->font();
            for (QWidget* control : group)  // one font for the group
                EXPECT_EQ(std::pair(control->testAttribute(Qt::WA_SetFont), control->font()),
                          std::pair(reduced, shown));
            EXPECT_EQ(reduced, smaller.value_or(reduced));
            EXPECT_EQ(shown.family(), font.family());
            EXPECT_TRUE(AllShowWhole(group, shown));
            EXPECT_EQ(AllShowWhole(group, font), !reduced);
            shown.setPointSizeF(shown.pointSizeF() + 0.5);
            EXPECT_TRUE(!reduced || !AllShowWhole(group, shown))
                << "it would fit half a point larger";
        }
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
