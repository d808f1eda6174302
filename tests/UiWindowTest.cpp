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
        EXPECT_EQ(window.size(), QSize(338, 72));
        for (const QStringList& names :
             {QStringList{"btnOpen", "btnModify", "btnSaveAs"}, QStringList{"Text1"}}) {
            SCOPED_TRACE(
                QStringLiteral("%1 pt, %2").arg(points).arg(names.join(u' ')).toStdString());
            QList<QWidget*> group;
            for (const QString& name : names) group.append(window.findChild<QWidget*>(name));
            const bool reduced = group[0]->testAttribute(Qt::WA_SetFont);
            QFont shown = group[0]->font();
            for (QWidget* control : group) {
                EXPECT_EQ(control->testAttribute(Qt::WA_SetFont), reduced);
                EXPECT_EQ(control->font().toString(), shown.toString());
                EXPECT_TRUE(ShowsWhole(control));
            }
            EXPECT_EQ(reduced, smaller.value_or(reduced));
            EXPECT_EQ(shown.family(), font.family());
            EXPECT_EQ(AllShowWhole(group, font), !reduced);
            shown.setPointSizeF(shown.pointSizeF() + 0.5);
            EXPECT_TRUE(!reduced || !AllShowWhole(group, shown))
                << "it would fit half a point larger";
        }
    }
    QApplication::setFont(desktop);
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
