// The window with fake file dialogs: its layout, and the three commands driven through real
// button clicks, with what reaches the track, the disk and the user, also when a step fails.
#include "UiSupport.h"
#include "smooth/Smooth.h"

namespace railgrace {
namespace {

using namespace test;

TrackModel Smoothed(TrackModel model) {
    SmoothTrack(model);
    return model;
}

class Window : public testing::Test {
protected:
    void SetUp() override {
        window.CentreOnScreen();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        btnOpen = window.findChild<QPushButton*>(QStringLiteral("btnOpen"));
        btnModify = window.findChild<QPushButton*>(QStringLiteral("btnModify"));
        btnSaveAs = window.findChild<QPushButton*>(QStringLiteral("btnSaveAs"));
        text1 = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        ASSERT_TRUE(btnOpen && btnModify && btnSaveAs && text1);
    }

    // The commands, with the answer of their dialog (nullopt cancels) and of the boxes they show.
    void Load(const std::optional<QString>& path, const std::vector<Handler>& boxes = {}) {
        fake.answers.push_back(path);
        Click(btnOpen, boxes);
    }
    void SaveAs(const std::optional<QString>& path, const std::vector<Handler>& boxes = {}) {
        fake.answers.push_back(path);
        Click(btnSaveAs, boxes);
    }

    void ExpectButtons(bool modify, bool saveAs) {
        EXPECT_TRUE(btnOpen->isEnabled());
        EXPECT_EQ(btnModify->isEnabled(), modify);
        EXPECT_EQ(btnSaveAs->isEnabled(), saveAs);
    }

    TrackFolder folder;
    const QString trackA = folder.CopySample(QStringLiteral("a.svtrack"));
    FakeDialogs fake;
    frmMain window{fake.Functions()};
    QPushButton* btnOpen = nullptr;
    QPushButton* btnModify = nullptr;
    QPushButton* btnSaveAs = nullptr;
    QPlainTextEdit* text1 = nullptr;
};

TEST_F(Window, CaptionSizeControlsAndCredits) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Skyvault Railgrace V1.1"));
    for (QSize size : {window.size(), window.minimumSize(), window.maximumSize()})
        EXPECT_EQ(size, QSize(338, 72));
    using Row = std::tuple<QWidget*, QString, QRect, bool>;  // geometry: twips / 15
    for (const auto& [control, caption, geometry, enabled] :
         {Row{btnOpen, "Load Track", {8, 8, 97, 21}, true},
          Row{btnModify, "Smooth it!", {120, 8, 97, 21}, false},
          Row{btnSaveAs, "Save Track as", {232, 8, 97, 21}, false},
          Row{text1, "", {8, 32, 321, 33}, true}}) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_EQ(control->property("text").toString(), caption);
        EXPECT_EQ(control->geometry(), geometry);
        EXPECT_EQ(control->isEnabled(), enabled);
        EXPECT_FALSE(control->testAttribute(Qt::WA_SetFont));
    }
    EXPECT_FALSE(window.testAttribute(Qt::WA_SetFont));
    QStringList tabOrder;  // whatever is enabled
    QWidget* widget = btnOpen;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) tabOrder.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != btnOpen);
    EXPECT_EQ(tabOrder, QStringList({"btnOpen", "btnModify", "btnSaveAs", "Text1"}));

    const QString credits = QStringLiteral(
        "Skyvault - Railgrace v1.1 for SV_v1.3 - Coded by Quillon\r\n"
        "If you find a bug, you can keep it. ...or report... ;)\r\n"
        "      \r\n");
    EXPECT_EQ(kCreditsText, credits);
    EXPECT_EQ(text1->toPlainText(), QString(credits).remove(u'\r'));  // one paragraph a line
    EXPECT_EQ(text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(text1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QTextCursor secondLine(text1->document()->findBlockByNumber(1));
    secondLine.movePosition(QTextCursor::EndOfBlock);
    EXPECT_LT(text1->cursorRect(secondLine).bottom(), text1->viewport()->height());
}

TEST_F(Window, OpensCentredAndClosingEndsTheProgram) {
    // The frame is not known before the first show, so the centre may be off by its thickness.
    const QPoint offset =
        window.frameGeometry().center() - window.screen()->availableGeometry().center();
    const QSize frame = window.frameGeometry().size() - window.size();
    EXPECT_LE(std::abs(offset.x()), frame.width() / 2 + 1);
    EXPECT_LE(std::abs(offset.y()), frame.height() / 2 + 1);
    // Should closing not end the event loop, the second timer ends it with a code that tells.
    QTimer::singleShot(0, &window, [this] { window.close(); });
    QTimer::singleShot(5000, &window, [] { QApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(Window, CommandsSetButtonsAndDialogNamesAndCancelChangesNothing) {
    const QString out = folder.Path(QStringLiteral("out.svtrack"));
    // Each step, then whether "Smooth it!" and "Save Track as" are enabled.
    using Step = std::tuple<const char*, std::function<void()>, bool, bool>;
    for (const auto& [step, run, modify, saveAs] : {
             Step{"start", [] {}, false, false},
             Step{"load", [&] { Load(trackA); }, true, false},
             Step{"smooth", [&] { Click(btnModify); }, true, true},
             Step{"cancelled load", [&] { Load(std::nullopt); }, true, true},
             Step{"save", [&] { SaveAs(out); }, true, true},
             Step{"refused load", [&] { Load(folder.CopySample("a.trk")); }, false, true},
             Step{"cancelled save", [&] { SaveAs(std::nullopt); }, false, true},
             Step{"load again", [&] { Load(trackA); }, true, true},
         }) {
        SCOPED_TRACE(step);
        run();
        ExpectButtons(modify, saveAs);
    }
    // A cancelled save wrote nothing.
    EXPECT_EQ(QDir(folder.Path("")).entryList(QDir::Files),
              QStringList({"a.svtrack", "a.trk", "out.svtrack"}));
    // Empty at first, then the last loaded track or save target; neither a refused name nor
    // a cancel changes it.
    const QString filter = QStringLiteral("Skyvault Tracks (*.svtrack)|*.svtrack");
    const QString owner = FakeDialogs::Arg(static_cast<QWidget*>(&window));
    const auto open = [&](const QString& name) {
        return QStringList{name, "", "true",          "false",   "true", filter,
                           "1",  "", "Open Track...", "svtrack", owner,  "0"};
    };
    EXPECT_EQ(fake.opens, (std::vector{open(""), open(trackA), open(out), open(out)}));
    const auto save = [&](const QString& name) {
        return QStringList{name,      "",    "true", filter, "1", "", "Save Track As...",
                           "svtrack", owner, "0"};
    };
    EXPECT_EQ(fake.saves, (std::vector{save(trackA), save(out)}));
}

TEST_F(Window, SmoothedTrackOutlivesFailedLoadsAndASecondIsSavedUnsmoothed) {
    const TrackModel once = Smoothed(LoadedModel(trackA));
    const TrackModel twice = Smoothed(once);
    ASSERT_FALSE(LoadedModel(trackA) == once || once == twice) << "the sample should change";
    std::vector<std::uint8_t> bytes = ReadBytes(trackA);
    bytes[0] = 'X';  // the first tag is not "SKYV": a silent refusal
    const QString refused = folder.Write(QStringLiteral("refused.svtrack"), bytes);
    bytes[0] = 'S';
    bytes.resize(bytes.size() / 2);  // cut off in the middle of its chunks
    const QString damaged = folder.Write(QStringLiteral("damaged.svtrack"), bytes);
    TrackModel model;
    const QString message = ErrorMessageOf([&] { LoadTrack(model, Native(damaged)); });
    ASSERT_FALSE(message.isEmpty()) << "the cut file should not load";
    const QString out = folder.Path(QStringLiteral("out.svtrack"));

    Load(trackA);
    Click(btnModify);
    EXPECT_TRUE(window.Track() == once);
    Click(btnModify);
    EXPECT_TRUE(window.Track() == twice);
    QStringList box;
    Load(damaged, {Press(box)});
    EXPECT_EQ(box, QStringList({"Load Track", message}));
    ExpectButtons(true, true);
    Load(refused);
    ExpectButtons(false, true);
    EXPECT_EQ(window.CurrentPath(), trackA);
    SaveAs(out);
    EXPECT_EQ(ReadBytes(out), Bytes(twice));
    // A track loaded after a smoothing can be saved as it is.
    Load(trackA);
    SaveAs(out);
    EXPECT_EQ(ReadBytes(out), Bytes(LoadedModel(trackA)));
}

TEST_F(Window, SmoothingFaultIsShownAndEnablesNothing) {
    // Vertex 1's second control point lies on its position: a handle of length zero.
    TrackModel model = LoadedModel(trackA);
    BezierVertex& v = model.bezrRecords.at(1);
    std::tie(v.cp2X, v.cp2Y, v.cp2Z) = std::tuple(v.posX, v.posY, v.posZ);
    const QString faulty = folder.Write(QStringLiteral("faulty.svtrack"), Bytes(model));
    const QString message = ErrorMessageOf([&] { Smoothed(LoadedModel(faulty)); });
    ASSERT_FALSE(message.isEmpty()) << "the track should not smooth";

    Load(faulty);
    QStringList box;
    Click(btnModify, {Press(box)});
    EXPECT_EQ(box, QStringList({"Smooth it!", message}));
    ExpectButtons(true, false);
    EXPECT_TRUE(window.Track() == LoadedModel(faulty));
}

TEST_F(Window, FailedSaveIsShownAndHasTakenTheName) {
    Load(trackA);
    Click(btnModify);
    const QString target = folder.Path(QStringLiteral("taken.svtrack"));
    ASSERT_TRUE(QDir().mkdir(target));  // a folder where the file should go
    TrackModel copy = window.Track();
    const QString message = ErrorMessageOf([&] { SaveTrack(copy, Native(target)); });
    ASSERT_FALSE(message.isEmpty()) << "saving over a folder should fail";

    QStringList box;
    SaveAs(target, {Press(box)});
    EXPECT_EQ(box, QStringList({"Save Track as", message}));
    EXPECT_EQ(window.CurrentPath(), target);
    EXPECT_TRUE(QFileInfo(target).isDir());
}

}  // namespace
}  // namespace railgrace
