// Qt's file dialogs as the program shows them, driven by typing and clicking as a person would.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "UiSupport.h"
#include "ui/frmMain.h"
#include "ui/mFileDialog.h"

namespace railgrace {
namespace {

using namespace test;

QLineEdit* NameField(QFileDialog* dialog) {
    return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// What a file dialog showed when its handler met it.
struct DialogSeen {
    QString title;
    QStringList nameFilters;
    QString name;
    QString folder;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
};

// Records the dialog, replaces the name in its name field by typing, then presses Open or Save
// (or Cancel when typed is empty).
ModalScript::Handler TypeInDialog(DialogSeen& seen, QString typed) {
    return [&seen, typed](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            ADD_FAILURE() << "expected a file dialog, got \"" << modal->windowTitle().toStdString()
                          << "\"";
            modal->close();
            return;
        }
        QLineEdit* field = NameField(dialog);
        if (field == nullptr) {
            ADD_FAILURE() << "the file dialog has no name field";
            dialog->reject();
            return;
        }
        seen = DialogSeen{dialog->windowTitle(), dialog->nameFilters(), field->text(),
                          dialog->directory().absolutePath(), dialog->acceptMode()};
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        if (typed.isEmpty()) {
            QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            return;
        }
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, typed);
        const auto accept = dialog->acceptMode() == QFileDialog::AcceptSave
                                ? QDialogButtonBox::Save
                                : QDialogButtonBox::Open;
        QTest::mouseClick(buttons->button(accept), Qt::LeftButton);
    };
}

// What railgrace-cli writes when it smooths in once.
std::vector<std::uint8_t> SmoothedByCli(const QString& in, const QString& out) {
    QProcess cli;
    cli.start(QStringLiteral(RAILGRACE_CLI),
              {QStringLiteral("smooth"), in, QStringLiteral("-o"), out});
    EXPECT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    return ReadBytes(out);
}

TEST(RealFileDialogs, OpenDialogShowsTheTrackTypeAndTheStartingName) {
    TrackFolder folder;
    const QString sample = folder.CopySample(QStringLiteral("start.svtrack"));
    QString fileName = sample;
    QString fileTitle;
    bool readOnly = false;
    QString filter = kTrackFilter;
    int filterIndex = 1;
    std::int32_t flags = 0;
    DialogSeen seen;
    bool confirmed = false;
    ModalScript script({TypeInDialog(seen, QString())});
    script.Run([&] {
        confirmed = ShowOpenFileDialog(fileName, fileTitle, true, readOnly, true, filter,
                                       filterIndex, QString(), QStringLiteral("Open Track..."),
                                       QStringLiteral("svtrack"), nullptr, flags);
    });
    EXPECT_TRUE(script.Problems().isEmpty()) << script.Problems().join(u'\n').toStdString();
    EXPECT_EQ(seen.title, QStringLiteral("Open Track..."));
    EXPECT_EQ(seen.nameFilters, QStringList{QStringLiteral("Skyvault Tracks (*.svtrack)")});
    EXPECT_EQ(seen.name, QStringLiteral("start.svtrack"));
    EXPECT_EQ(QFileInfo(seen.folder), QFileInfo(folder.Path(QString())));
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptOpen);
    // Cancelled: the outputs are emptied, the filter stays converted.
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(fileName, QString());
    EXPECT_EQ(fileTitle, QString());
    EXPECT_EQ(flags, 0);
    EXPECT_FALSE(readOnly);
    EXPECT_EQ(filter, ConvertFilter(kTrackFilter));
}

TEST(RealFileDialogs, OpenDialogAcceptsOnlyAnExistingFile) {
    TrackFolder folder;
    const QString sample = folder.CopySample(QStringLiteral("there.svtrack"));
    QString fileName = folder.Path(QStringLiteral("first.svtrack"));
    QString fileTitle;
    bool readOnly = false;
    QString filter = kTrackFilter;
    int filterIndex = 1;
    std::int32_t flags = 0;
    bool confirmed = false;
    bool openWithMissingName = true;
    bool openWithExistingName = false;
    bool stayedOpen = false;
    // A missing name cannot be opened; an existing one typed without extension can.
    ModalScript script({[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        QLineEdit* field = NameField(dialog);
        ASSERT_NE(field, nullptr);
        QPushButton* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("missing.svtrack"));
        openWithMissingName = open->isEnabled();
        QTest::mouseClick(open, Qt::LeftButton);
        stayedOpen = dialog->isVisible();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("there"));
        openWithExistingName = open->isEnabled();
        QTest::mouseClick(open, Qt::LeftButton);
    }});
    script.Run([&] {
        confirmed = ShowOpenFileDialog(fileName, fileTitle, true, readOnly, true, filter,
                                       filterIndex, QString(), QStringLiteral("Open Track..."),
                                       QStringLiteral("svtrack"), nullptr, flags);
    });
    EXPECT_TRUE(script.Problems().isEmpty()) << script.Problems().join(u'\n').toStdString();
    EXPECT_FALSE(openWithMissingName);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(openWithExistingName);
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(QFileInfo(fileName), QFileInfo(sample));
    EXPECT_TRUE(QFileInfo(fileName).isAbsolute());
    EXPECT_EQ(fileTitle, QStringLiteral("there.svtrack"));
    EXPECT_EQ(flags, 0x1004);
    EXPECT_EQ(filterIndex, 1);
}

TEST(RealFileDialogs, LoadSmoothAndSaveUnderATypedNameAsTheCliDoes) {
    TrackFolder folder;
    const QString sample = folder.CopySample(QStringLiteral("sample.svtrack"));
    const QString target = folder.Path(QStringLiteral("smoothed.svtrack"));
    // Something else is already there and must be confirmed away.
    folder.CopySample(QStringLiteral("smoothed.svtrack"));
    const std::vector<std::uint8_t> original = ReadBytes(target);

    frmMain window;
    window.show();
    auto* btnOpen = window.findChild<QPushButton*>(QStringLiteral("btnOpen"));
    auto* btnModify = window.findChild<QPushButton*>(QStringLiteral("btnModify"));
    auto* btnSaveAs = window.findChild<QPushButton*>(QStringLiteral("btnSaveAs"));

    DialogSeen openSeen;
    ModalScript open({TypeInDialog(openSeen, sample)});
    Click(btnOpen, open);
    EXPECT_EQ(openSeen.title, QStringLiteral("Open Track..."));
    EXPECT_EQ(openSeen.name, QString());
    ASSERT_EQ(window.CurrentPath(), sample);

    Click(btnModify);

    // Declining the replacement returns to the dialog and leaves the file alone.
    DialogSeen saveSeen;
    DialogSeen again;
    BoxSeen declined;
    ModalScript decline({TypeInDialog(saveSeen, QStringLiteral("smoothed")),
                         PressInBox(declined, QMessageBox::No), TypeInDialog(again, QString())});
    Click(btnSaveAs, decline);
    EXPECT_EQ(saveSeen.title, QStringLiteral("Save Track As..."));
    EXPECT_EQ(saveSeen.nameFilters, QStringList{QStringLiteral("Skyvault Tracks (*.svtrack)")});
    EXPECT_EQ(saveSeen.name, QStringLiteral("sample.svtrack"));
    EXPECT_EQ(saveSeen.acceptMode, QFileDialog::AcceptSave);
    EXPECT_TRUE(declined.text.contains(QStringLiteral("smoothed.svtrack")))
        << declined.text.toStdString();
    EXPECT_EQ(window.CurrentPath(), sample);
    EXPECT_EQ(ReadBytes(target), original);

    BoxSeen confirmed;
    ModalScript replace({TypeInDialog(saveSeen, QStringLiteral("smoothed")),
                         PressInBox(confirmed, QMessageBox::Yes)});
    Click(btnSaveAs, replace);
    EXPECT_EQ(QFileInfo(window.CurrentPath()), QFileInfo(target));
    EXPECT_TRUE(window.CurrentPath().endsWith(QStringLiteral(".svtrack")));

    const std::vector<std::uint8_t> byCli =
        SmoothedByCli(sample, folder.Path(QStringLiteral("cli.svtrack")));
    ASSERT_FALSE(byCli.empty());
    EXPECT_EQ(ReadBytes(target), byCli);
    EXPECT_NE(ReadBytes(target), original);
}

}  // namespace
}  // namespace railgrace
