// The file dialogs: the filter text and option bits they are built from, and Qt's dialogs as the
// program shows them, driven by typing and clicking as a person would.
#include "UiSupport.h"
#include "ui/mFileDialog.h"

namespace railgrace {
namespace {

using namespace test;

TEST(FileDialogRequest, FilterBarsAndColonsBecomeNuls) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Skyvault Tracks (*.svtrack)|*.svtrack"),
         QString::fromLatin1("Skyvault Tracks (*.svtrack)\0*.svtrack\0\0", 39)},
        {QStringLiteral("Tracks|*.svtrack:All|*.*"),
         QString::fromLatin1("Tracks\0*.svtrack\0All\0*.*\0\0", 26)},
        {QString(), QString::fromLatin1("\0\0", 2)},
    };
    for (const auto& [filter, converted] : cases) EXPECT_EQ(ConvertFilter(filter), converted);
    // Each description and pattern pair is one file type, in the form Qt reads its patterns.
    EXPECT_EQ(NameFiltersFromConverted(ConvertFilter(QStringLiteral("A|*.svtrack;*.trk:All|*"))),
              (QStringList{QStringLiteral("A (*.svtrack *.trk)"), QStringLiteral("All (*)")}));
}

TEST(FileDialogRequest, OptionBitsAndTheQtDialogTheyAskFor) {
    // The caller's bits pass, except hook (0x20) and template (0x40).
    EXPECT_EQ(OpenDialogFlags(true, false, true, 0), 0x1004);
    EXPECT_EQ(OpenDialogFlags(false, true, false, 0x68), 0x9);
    EXPECT_EQ(OpenDialogFlags(false, false, false, 0), 0);
    EXPECT_EQ(SaveDialogFlags(true, 0), 0x0006);
    EXPECT_EQ(SaveDialogFlags(false, 0x68), 0xC);
    using D = QFileDialog;
    EXPECT_EQ(DialogSetupFromFlags(false, 0x1004),
              (QtDialogSetup{D::AcceptOpen, D::ExistingFile, D::DontUseNativeDialog}));
    EXPECT_EQ(DialogSetupFromFlags(false, 0x4).fileMode, D::AnyFile);
    EXPECT_EQ(DialogSetupFromFlags(true, 0x1006),
              (QtDialogSetup{D::AcceptSave, D::AnyFile, D::DontUseNativeDialog}));
    EXPECT_TRUE(DialogSetupFromFlags(true, 0x4).options.testFlag(D::DontConfirmOverwrite));
}

TEST(RealFileDialogs, OpenReturnsTheChoiceAndCancelEmptiesIt) {
    TrackFolder folder;
    const QString there = folder.CopySample(QStringLiteral("there.svtrack"));
    QString fileName = folder.Path(QStringLiteral("first.svtrack"));
    QString fileTitle;
    QString filter = kTrackFilter;
    int filterIndex = 1;
    std::int32_t flags = 0;
    bool readOnly = false;
    bool confirmed = false;
    QStringList seen;
    const auto open = [&](const std::vector<Handler>& typing) {
        Answer(
            [&] {
                confirmed = ShowOpenFileDialog(fileName, fileTitle, true, readOnly, true, filter,
                                               filterIndex, QString(), "Open Track...", "svtrack",
                                               nullptr, flags);
            },
            typing);
    };
    // A missing file leaves the dialog open; one typed without extension is taken.
    open({Type(seen, QStringLiteral("missing.svtrack")), Type(seen, QStringLiteral("there"))});
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(QStringList({fileName, fileTitle, filter}),
              QStringList({there, "there.svtrack", ConvertFilter(kTrackFilter)}));
    EXPECT_EQ(flags, 0x1004);
    EXPECT_EQ(filterIndex, 1);
    fileName = there;
    open({Type(seen, QString())});
    EXPECT_EQ(seen.last(), QStringLiteral("there.svtrack"));
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(QStringList({fileName, fileTitle}), QStringList({"", ""}));
    EXPECT_EQ(flags, 0);
}

TEST(RealFileDialogs, LoadSmoothAndSaveUnderATypedNameAsTheCliDoes) {
    TrackFolder folder;
    const QString sample = folder.CopySample(QStringLiteral("sample.svtrack"));
    // Something is already where the track is saved and must be confirmed away.
    const QString target = folder.CopySample(QStringLiteral("smoothed.svtrack"));
    const std::vector<std::uint8_t> original = ReadBytes(target);
    frmMain window;
    window.show();
    const auto button = [&](const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    };

    QStringList open;
    Click(button("btnOpen"), {Type(open, sample)});
    EXPECT_EQ(open, QStringList({"Open Track...", "Skyvault Tracks (*.svtrack)", ""}));
    ASSERT_EQ(window.CurrentPath(), sample);
    Click(button("btnModify"));

    // Declining the replacement returns to the dialog; cancelling it then leaves all alone.
    QStringList save;
    QStringList again;
    QStringList declined;
    Click(button("btnSaveAs"), {Type(save, QStringLiteral("smoothed")),
                                Press(declined, QMessageBox::No), Type(again, QString())});
    EXPECT_EQ(save,
              QStringList({"Save Track As...", "Skyvault Tracks (*.svtrack)", "sample.svtrack"}));
    EXPECT_TRUE(declined.join(u' ').contains(QStringLiteral("smoothed.svtrack")));
    EXPECT_EQ(window.CurrentPath(), sample);
    EXPECT_EQ(ReadBytes(target), original);

    QStringList confirmed;
    Click(button("btnSaveAs"),
          {Type(save, QStringLiteral("smoothed")), Press(confirmed, QMessageBox::Yes)});
    EXPECT_EQ(window.CurrentPath(), target);
    QProcess cli;
    const QString byCli = folder.Path(QStringLiteral("cli.svtrack"));
    cli.start(QStringLiteral(RAILGRACE_CLI), {"smooth", sample, "-o", byCli});
    ASSERT_TRUE(cli.waitForFinished(30000) && cli.exitCode() == 0);
    EXPECT_EQ(ReadBytes(target), ReadBytes(byCli));
    EXPECT_NE(ReadBytes(target), original);
}

}  // namespace
}  // namespace railgrace
