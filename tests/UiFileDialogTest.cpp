// The request-building parts of the file dialogs: filter text, option bits and what Qt's dialog
// is asked to do with them.
#include <gtest/gtest.h>

#include "ui/mFileDialog.h"

namespace railgrace {
namespace {

QString WithNuls(const char* text, qsizetype size) {
    return QString::fromLatin1(text, size);
}

TEST(FileDialogFilter, SplitsTheTrackFilterIntoOneType) {
    // Description, NUL, pattern, NUL, NUL.
    const QString expected = WithNuls("Skyvault Tracks (*.svtrack)\0*.svtrack\0\0", 39);
    EXPECT_EQ(ConvertFilter(QStringLiteral("Skyvault Tracks (*.svtrack)|*.svtrack")), expected);
}

TEST(FileDialogFilter, SplitsAtColonsAsWellAsBars) {
    EXPECT_EQ(ConvertFilter(QStringLiteral("Tracks|*.svtrack:All|*.*")),
              WithNuls("Tracks\0*.svtrack\0All\0*.*\0\0", 26));
    EXPECT_EQ(ConvertFilter(QStringLiteral("a:b")), WithNuls("a\0b\0\0", 5));
    EXPECT_EQ(ConvertFilter(QString()), WithNuls("\0\0", 2));
}

TEST(FileDialogFilter, NameFiltersPairDescriptionsWithPatterns) {
    EXPECT_EQ(NameFiltersFromConverted(ConvertFilter(kTrackFilter)),
              QStringList{QStringLiteral("Skyvault Tracks (*.svtrack)")});
    // Patterns the description does not show are added in the form Qt reads them from.
    EXPECT_EQ(
        NameFiltersFromConverted(
            ConvertFilter(QStringLiteral("Tracks|*.svtrack;*.trk:All files|*"))),
        (QStringList{QStringLiteral("Tracks (*.svtrack *.trk)"), QStringLiteral("All files (*)")}));
    EXPECT_TRUE(NameFiltersFromConverted(ConvertFilter(QString())).isEmpty());
}

TEST(FileDialogFlags, OpenRequestOfLoadTrack) {
    EXPECT_EQ(OpenDialogFlags(true, false, true, 0), 0x1004);
}

TEST(FileDialogFlags, OpenBitsFollowEachOption) {
    EXPECT_EQ(OpenDialogFlags(false, false, false, 0), 0);
    EXPECT_EQ(OpenDialogFlags(true, false, false, 0), 0x1000);
    EXPECT_EQ(OpenDialogFlags(false, true, false, 0), 0x1);
    EXPECT_EQ(OpenDialogFlags(false, false, true, 0), 0x4);
    EXPECT_EQ(OpenDialogFlags(true, true, true, 0), 0x1005);
}

TEST(FileDialogFlags, CallersHookAndTemplateBitsAreDropped) {
    EXPECT_EQ(OpenDialogFlags(false, false, false, 0x20 | 0x40), 0);
    EXPECT_EQ(OpenDialogFlags(true, false, true, 0x200 | 0x20 | 0x8), 0x120C);
    EXPECT_EQ(SaveDialogFlags(false, 0x60 | 0x800), 0x804);
    // Bits the options set themselves stay set when the caller passes them too.
    EXPECT_EQ(SaveDialogFlags(true, 0x2 | 0x4), 0x6);
}

TEST(FileDialogFlags, SaveRequestOfSaveTrackAs) {
    EXPECT_EQ(SaveDialogFlags(true, 0), 0x0006);
    // The read-only box is hidden even without an overwrite prompt.
    EXPECT_EQ(SaveDialogFlags(false, 0), 0x0004);
}

TEST(FileDialogSetup, OpenWithMustExistAcceptsOnlyExistingFiles) {
    const QtDialogSetup setup = DialogSetupFromFlags(false, 0x1004);
    EXPECT_EQ(setup.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(setup.fileMode, QFileDialog::ExistingFile);
    EXPECT_TRUE(setup.options.testFlag(QFileDialog::DontUseNativeDialog));

    EXPECT_EQ(DialogSetupFromFlags(false, 0x4).fileMode, QFileDialog::AnyFile);
}

TEST(FileDialogSetup, SaveConfirmsReplacingOnlyWithOverwritePrompt) {
    const QtDialogSetup prompting = DialogSetupFromFlags(true, 0x6);
    EXPECT_EQ(prompting.acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(prompting.fileMode, QFileDialog::AnyFile);
    EXPECT_FALSE(prompting.options.testFlag(QFileDialog::DontConfirmOverwrite));

    EXPECT_TRUE(
        DialogSetupFromFlags(true, 0x4).options.testFlag(QFileDialog::DontConfirmOverwrite));
    // FILEMUSTEXIST means nothing to a save dialog.
    EXPECT_EQ(DialogSetupFromFlags(true, 0x1006).fileMode, QFileDialog::AnyFile);
}

}  // namespace
}  // namespace railgrace
