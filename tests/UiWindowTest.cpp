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

    // The names of the enabled buttons.
    std::string Enabled() const {
        QStringList names;
        for (QPushButton* b : {btnOpen, btnModify, btnSaveAs})
            if (b->isEnabled()) names.append(b->objectName());
        return names.join(u' ').toStdString();
    }

    TrackFolder folder;
    const QString trackA = folder.CopySample(QStringLiteral("a.svtrack"));
    FakeDialogs fake;
    frmMain window{fake.Functions()};
    QPushButton* btnOpen = window.findChild<QPushButton*>(QStringLiteral("btnOpen"));
    QPushButton* btnModify = window.findChild<QPushButton*>(QStringLiteral("btnModify"));
    QPushButton* btnSaveAs = window.findChild<QPushButton*>(QStringLiteral("btnSaveAs"));
    QPlainTextEdit* text1 = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
};

TEST_F(Window, LayoutCreditsCentringAndClosing) {
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

TEST_F(Window, CommandsFromClickToTrackDiskAndErrorBox) {
    const TrackModel once = Smoothed(LoadedModel(trackA)), twice = Smoothed(once);
    ASSERT_FALSE(LoadedModel(trackA) == once || once == twice) << "the sample should change";
    std::vector<std::uint8_t> bytes = ReadBytes(trackA);
    bytes[0] = 'X';  // the first tag is not "SKYV": a silent refusal
    const QString refused = folder.Write(QStringLiteral("refused.svtrack"), bytes);
    bytes[0] = 'S';
    bytes.resize(bytes.size() / 2);  // cut off in the middle of its chunks
    const QString damaged = folder.Write(QStringLiteral("damaged.svtrack"), bytes);
    // Vertex 1's second control point lies on its position: a handle of length zero.
    TrackModel model = LoadedModel(trackA);
    BezierVertex& v = model.bezrRecords.at(1);
    std::tie(v.cp2X, v.cp2Y, v.cp2Z) = std::tuple(v.posX, v.posY, v.posZ);
    const QString faulty = folder.Write(QStringLiteral("faulty.svtrack"), Bytes(model));
    const QString out = folder.Path(QStringLiteral("out.svtrack"));
    const QString taken = folder.Path(QStringLiteral("taken.svtrack"));
    ASSERT_TRUE(QDir().mkdir(taken));  // a folder where the file should go

    QStringList box;
    EXPECT_EQ(Enabled(), "btnOpen");
    // A smoothing that fails is shown, keeps the track and enables nothing.
    Load(faulty);
    EXPECT_EQ(Enabled(), "btnOpen btnModify");
    Click(btnModify, {Press(box)});
    EXPECT_EQ(box,
              QStringList({"Smooth it!", ErrorMessageOf([&] { Smoothed(LoadedModel(faulty)); })}));
    EXPECT_TRUE(window.Track() == LoadedModel(faulty));
    EXPECT_EQ(Enabled(), "btnOpen btnModify");
    // Each press smooths the track once more.
    Load(trackA);
    Click(btnModify);
    EXPECT_TRUE(window.Track() == once);
    EXPECT_EQ(Enabled(), "btnOpen btnModify btnSaveAs");
    Click(btnModify);
    EXPECT_TRUE(window.Track() == twice);
    // A cancelled or failed load keeps track and buttons; a refused one leaves nothing to smooth.
    Load(std::nullopt);
    Load(damaged, {Press(box)});
    EXPECT_EQ(box, QStringList({"Load Track", ErrorMessageOf([&] { LoadedModel(damaged); })}));
    EXPECT_TRUE(window.Track() == twice);
    EXPECT_EQ(Enabled(), "btnOpen btnModify btnSaveAs");
    Load(refused);
    EXPECT_EQ(Enabled(), "btnOpen btnSaveAs");
    EXPECT_EQ(window.CurrentPath(), trackA);
    SaveAs(out);
    EXPECT_EQ(ReadBytes(out), Bytes(twice));
    SaveAs(std::nullopt);  // writes nothing
    EXPECT_EQ(ReadBytes(out), Bytes(twice));
    // A track loaded after a smoothing is saved as it is.
    Load(trackA);
    EXPECT_EQ(Enabled(), "btnOpen btnModify btnSaveAs");
    SaveAs(out);
    EXPECT_EQ(ReadBytes(out), Bytes(LoadedModel(trackA)));
    // A failed save is shown and has taken the name all the same.
    SaveAs(taken, {Press(box)});
    EXPECT_EQ(box, QStringList({"Save Track as",
                                ErrorMessageOf([&] { SaveTrack(model, Native(taken)); })}));
    EXPECT_EQ(window.CurrentPath(), taken);
    EXPECT_TRUE(QFileInfo(taken).isDir());
    // Each dialog starts from the last loaded track or save target; neither a refused or damaged
    // file nor a cancel changes it.
    const QString filter = QStringLiteral("Skyvault Tracks (*.svtrack)|*.svtrack");
    const QString owner = FakeDialogs::Arg(static_cast<QWidget*>(&window));
    const auto opened = [&](const QString& name) {
        return QStringList{name, "", "true",          "false",   "true", filter,
                           "1",  "", "Open Track...", "svtrack", owner,  "0"};
    };
    EXPECT_EQ(fake.opens, (std::vector{opened(""), opened(faulty), opened(trackA), opened(trackA),
                                       opened(trackA), opened(out)}));
    const auto saved = [&](const QString& name) {
        return QStringList{name,      "",    "true", filter, "1", "", "Save Track As...",
                           "svtrack", owner, "0"};
    };
    EXPECT_EQ(fake.saves, (std::vector{saved(trackA), saved(out), saved(trackA), saved(out)}));
}

}  // namespace
}  // namespace railgrace
