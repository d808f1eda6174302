// The Qt window with fake file dialogs: its layout, and the clicks that run the commands and show
// their outcome (the command flow itself is tested without a window).
#include "UiSupport.h"
#include "smooth/Smooth.h"
#include "ui/WindowLayout.h"

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
    frmMain window{fake.Function()};
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
    EXPECT_EQ(QString::fromUtf8(kCreditsText.data(), qsizetype(kCreditsText.size())), credits);
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

TEST_F(Window, ClicksRunTheCommandsAndShowTheirOutcome) {
    std::vector<std::uint8_t> bytes = ReadBytes(trackA);
    bytes.resize(bytes.size() / 2);  // cut off in the middle of its chunks
    const QString damaged = folder.Write(QStringLiteral("damaged.svtrack"), bytes);
    const QString out = folder.Path(QStringLiteral("out.svtrack"));
    QStringList box;

    Load(trackA);
    EXPECT_EQ(Enabled(), "btnOpen btnModify");
    Click(btnModify);
    EXPECT_EQ(Enabled(), "btnOpen btnModify btnSaveAs");
    Load(damaged, {Press(box)});
    EXPECT_EQ(box, QStringList({"Load Track", ErrorMessageOf([&] { LoadedModel(damaged); })}));
    SaveAs(out);
    EXPECT_EQ(ReadBytes(out), Bytes(Smoothed(LoadedModel(trackA))));
    EXPECT_EQ(window.Commands().CurrentPath(), NativePath(out));
    EXPECT_TRUE(fake.answers.empty());
}

}  // namespace
}  // namespace railgrace
