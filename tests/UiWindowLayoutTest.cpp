// What the window looks like: caption, size, controls, credits text, tab order, placement.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <cstdlib>

#include "UiSupport.h"
#include "ui/frmMain.h"

namespace railgrace {
namespace {

using namespace test;

class WindowLayout : public testing::Test {
protected:
    void SetUp() override {
        window.CentreOnScreen();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    template <typename Widget>
    Widget* Control(const char* name) {
        auto* control = window.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    FakeDialogs fake;
    frmMain window{fake.Functions()};
};

TEST_F(WindowLayout, CaptionAndFixedClientSize) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Skyvault Railgrace V1.1"));
    // 5070 x 1080 twips at 15 twips per pixel.
    EXPECT_EQ(window.size(), QSize(338, 72));
    EXPECT_EQ(window.minimumSize(), QSize(338, 72));
    EXPECT_EQ(window.maximumSize(), QSize(338, 72));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST_F(WindowLayout, ButtonsStandInARowWithTheirCaptions) {
    struct Expected {
        const char* name;
        const char* caption;
        QRect geometry;  // twips / 15
        bool enabled;
    };
    const Expected buttons[] = {
        {"btnOpen", "Load Track", QRect(8, 8, 97, 21), true},
        {"btnModify", "Smooth it!", QRect(120, 8, 97, 21), false},
        {"btnSaveAs", "Save Track as", QRect(232, 8, 97, 21), false},
    };
    for (const Expected& expected : buttons) {
        SCOPED_TRACE(expected.name);
        auto* button = Control<QPushButton>(expected.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromLatin1(expected.caption));
        EXPECT_EQ(button->geometry(), expected.geometry);
        EXPECT_EQ(button->isEnabled(), expected.enabled);
        EXPECT_TRUE(button->isVisible());
    }
}

TEST_F(WindowLayout, CreditsBoxHoldsThreeLinesEndedByCrLf) {
    auto* text = Control<QPlainTextEdit>("Text1");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), QRect(8, 32, 321, 33));
    EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(text->isEnabled());

    // The box keeps lines apart by paragraph; each of them ends in CR LF in the text.
    const QString shown = text->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    EXPECT_EQ(shown, QStringLiteral("Skyvault - Railgrace v1.1 for SV_v1.3 - Coded by Quillon\r\n"
                                    "If you find a bug, you can keep it. ...or report... ;)\r\n"
                                    "      \r\n"));
}

TEST_F(WindowLayout, CreditsBoxShowsTheFirstTwoLines) {
    auto* text = Control<QPlainTextEdit>("Text1");
    ASSERT_NE(text, nullptr);
    QTextCursor second(text->document()->findBlockByNumber(1));
    second.movePosition(QTextCursor::EndOfBlock);
    const QRect lineRect = text->cursorRect(second);
    EXPECT_GE(lineRect.top(), 0);
    EXPECT_LE(lineRect.bottom(), text->viewport()->height() - 1)
        << "second line ends at " << lineRect.bottom() << " in a viewport of "
        << text->viewport()->height();
}

TEST_F(WindowLayout, EveryControlUsesTheWindowsFont) {
    for (const char* name : {"btnOpen", "btnModify", "btnSaveAs", "Text1"}) {
        auto* control = Control<QWidget>(name);
        ASSERT_NE(control, nullptr);
        EXPECT_FALSE(control->testAttribute(Qt::WA_SetFont)) << name;
        EXPECT_EQ(control->font(), window.font()) << name;
    }
    EXPECT_FALSE(window.testAttribute(Qt::WA_SetFont));
}

TEST_F(WindowLayout, TabOrderRunsAlongTheRowThenToTheCredits) {
    // The chain as set, whatever is enabled.
    QStringList chain;
    QWidget* widget = Control<QWidget>("btnOpen");
    ASSERT_NE(widget, nullptr);
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) chain.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != nullptr && widget->objectName() != QStringLiteral("btnOpen"));
    EXPECT_EQ(chain, (QStringList{QStringLiteral("btnOpen"), QStringLiteral("btnModify"),
                                  QStringLiteral("btnSaveAs"), QStringLiteral("Text1")}));
}

TEST_F(WindowLayout, TabKeyMovesFocusInTabOrder) {
    TrackFolder folder;
    fake.openAnswers.push_back(folder.CopySample(QStringLiteral("a.svtrack")));
    Click(Control<QPushButton>("btnOpen"));
    Click(Control<QPushButton>("btnModify"));

    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Control<QWidget>("btnOpen")->setFocus(Qt::OtherFocusReason);
    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(visited, (QStringList{QStringLiteral("btnModify"), QStringLiteral("btnSaveAs"),
                                    QStringLiteral("Text1"), QStringLiteral("btnOpen")}));
}

TEST_F(WindowLayout, OpensCentredOnTheScreen) {
    const QRect screen = window.screen()->availableGeometry();
    const QPoint offset = window.frameGeometry().center() - screen.center();
    // The frame is not known before the window is first shown, so the centre may be off by up to
    // its thickness, but no more.
    const QSize frame = window.frameGeometry().size() - window.size();
    EXPECT_LE(std::abs(offset.x()), frame.width() / 2 + 1) << "off by " << offset.x();
    EXPECT_LE(std::abs(offset.y()), frame.height() / 2 + 1) << "off by " << offset.y();
}

TEST_F(WindowLayout, ClosingTheWindowEndsTheProgram) {
    // The program's event loop ends when the window closes; should it not, the second timer
    // ends it with a code that tells.
    QTimer::singleShot(0, &window, [this] { window.close(); });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QApplication::exit(99); });
    giveUp.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace railgrace
