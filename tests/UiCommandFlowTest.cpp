// The three commands driven through real button clicks, with fake file dialogs: enabled states,
// what the dialogs are asked, and what reaches the track and the disk, also when a step fails.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include "UiSupport.h"
#include "smooth/Smooth.h"
#include "track/TrackIo.h"
#include "ui/frmMain.h"

namespace railgrace {
namespace {

using namespace test;

TrackModel Smoothed(TrackModel model, int passes = 1) {
    for (int i = 0; i < passes; ++i) SmoothTrack(model);
    return model;
}

// The bytes a save of model writes, by the track module alone.
std::vector<std::uint8_t> SavedBytes(const TrackFolder& folder, const TrackModel& model) {
    return ReadBytes(folder.Save(model, QStringLiteral("expected.svtrack")));
}

class CommandFlow : public testing::Test {
protected:
    void SetUp() override {
        window.show();
        btnOpen = window.findChild<QPushButton*>(QStringLiteral("btnOpen"));
        btnModify = window.findChild<QPushButton*>(QStringLiteral("btnModify"));
        btnSaveAs = window.findChild<QPushButton*>(QStringLiteral("btnSaveAs"));
        ASSERT_NE(btnOpen, nullptr);
        ASSERT_NE(btnModify, nullptr);
        ASSERT_NE(btnSaveAs, nullptr);
        trackA = folder.CopySample(QStringLiteral("a.svtrack"));
    }

    void Load(const QString& path) {
        fake.openAnswers.push_back(path);
        Click(btnOpen);
    }
    void SaveAs(const QString& path) {
        fake.saveAnswers.push_back(path);
        Click(btnSaveAs);
    }
    void Smooth() { Click(btnModify); }

    // A track unlike the sample: other info text, every point moved.
    QString MakeTrackB() {
        TrackModel model = LoadedModel(trackA);
        model.infoText = U"Track B";
        for (BezierVertex& v : model.bezrRecords) {
            v.posX += 3;
            v.cp1X += 3;
            v.cp2X += 3;
            v.cp2Y += 0.5f;
        }
        return folder.Save(model, QStringLiteral("b.svtrack"));
    }

    // The sample cut off in the middle of its chunks: it still begins with "SKYV".
    QString MakeDamagedTrack() {
        std::vector<std::uint8_t> bytes = ReadBytes(trackA);
        bytes.resize(bytes.size() / 2);
        return folder.Write(QStringLiteral("damaged.svtrack"), bytes);
    }

    void ExpectButtons(bool modifyEnabled, bool saveEnabled) {
        EXPECT_TRUE(btnOpen->isEnabled());
        EXPECT_EQ(btnModify->isEnabled(), modifyEnabled);
        EXPECT_EQ(btnSaveAs->isEnabled(), saveEnabled);
    }

    TrackFolder folder;
    FakeDialogs fake;
    frmMain window{fake.Functions()};
    QPushButton* btnOpen = nullptr;
    QPushButton* btnModify = nullptr;
    QPushButton* btnSaveAs = nullptr;
    QString trackA;
};

TEST_F(CommandFlow, EnabledStatesFollowTheCommands) {
    ExpectButtons(false, false);

    fake.openAnswers.push_back(std::nullopt);
    Click(btnOpen);
    ExpectButtons(false, false);

    Load(trackA);
    ExpectButtons(true, false);

    Smooth();
    ExpectButtons(true, true);

    SaveAs(folder.Path(QStringLiteral("out.svtrack")));
    ExpectButtons(true, true);

    const QString wrongName = folder.CopySample(QStringLiteral("a.trk"));
    Load(wrongName);
    ExpectButtons(false, true);

    fake.saveAnswers.push_back(std::nullopt);
    Click(btnSaveAs);
    ExpectButtons(false, true);

    Load(trackA);
    ExpectButtons(true, true);
}

TEST_F(CommandFlow, OpenDialogIsAskedForTheTrackWithCurrentPath) {
    Load(trackA);
    ASSERT_EQ(fake.openCalls.size(), 1u);
    const DialogCall& first = fake.openCalls[0];
    EXPECT_EQ(first.fileName, QString());
    EXPECT_EQ(first.fileTitle, QString());
    EXPECT_TRUE(first.fileMustExist);
    EXPECT_FALSE(first.readOnly);
    EXPECT_TRUE(first.hideReadOnly);
    EXPECT_EQ(first.filter, QStringLiteral("Skyvault Tracks (*.svtrack)|*.svtrack"));
    EXPECT_EQ(first.filterIndex, 1);
    EXPECT_EQ(first.initialDir, QString());
    EXPECT_EQ(first.title, QStringLiteral("Open Track..."));
    EXPECT_EQ(first.defaultExt, QStringLiteral("svtrack"));
    EXPECT_EQ(first.ownerWindow, &window);
    EXPECT_EQ(first.flags, 0);
    EXPECT_EQ(window.CurrentPath(), trackA);

    // A refused name does not become the next starting name.
    Load(folder.CopySample(QStringLiteral("a.trk")));
    Load(trackA);
    ASSERT_EQ(fake.openCalls.size(), 3u);
    EXPECT_EQ(fake.openCalls[1].fileName, trackA);
    EXPECT_EQ(fake.openCalls[2].fileName, trackA);
}

TEST_F(CommandFlow, SaveDialogStartsWithCurrentPathAndItsAnswerBecomesCurrentPath) {
    Load(trackA);
    Smooth();
    const QString typed = folder.Path(QStringLiteral("copy"));
    SaveAs(typed);
    ASSERT_EQ(fake.saveCalls.size(), 1u);
    const DialogCall& save = fake.saveCalls[0];
    EXPECT_EQ(save.fileName, trackA);
    EXPECT_EQ(save.fileTitle, QString());
    EXPECT_TRUE(save.overwritePrompt);
    EXPECT_EQ(save.filter, QStringLiteral("Skyvault Tracks (*.svtrack)|*.svtrack"));
    EXPECT_EQ(save.filterIndex, 1);
    EXPECT_EQ(save.initialDir, QString());
    EXPECT_EQ(save.title, QStringLiteral("Save Track As..."));
    EXPECT_EQ(save.defaultExt, QStringLiteral("svtrack"));
    EXPECT_EQ(save.ownerWindow, &window);
    EXPECT_EQ(save.flags, 0);

    // The name as the dialog gave it; the file itself gets the extension.
    EXPECT_EQ(window.CurrentPath(), typed);
    EXPECT_TRUE(QFileInfo::exists(typed + QStringLiteral(".svtrack")));
    EXPECT_FALSE(QFileInfo::exists(typed));

    Load(trackA);
    ASSERT_EQ(fake.openCalls.size(), 2u);
    EXPECT_EQ(fake.openCalls[1].fileName, typed);
}

TEST_F(CommandFlow, CancelChangesNothing) {
    Load(trackA);
    Smooth();
    const TrackModel before = window.Track();
    const QStringList filesBefore = QDir(folder.Path(QString())).entryList(QDir::Files);

    fake.openAnswers.push_back(std::nullopt);
    Click(btnOpen);
    fake.saveAnswers.push_back(std::nullopt);
    Click(btnSaveAs);

    EXPECT_EQ(window.CurrentPath(), trackA);
    EXPECT_TRUE(window.Track() == before);
    ExpectButtons(true, true);
    EXPECT_EQ(QDir(folder.Path(QString())).entryList(QDir::Files), filesBefore);
}

TEST_F(CommandFlow, FailedLoadAfterSmoothingKeepsTheSmoothedTrack) {
    const TrackModel smoothedA = Smoothed(LoadedModel(trackA));
    Load(trackA);
    Smooth();

    BoxSeen box;
    fake.openAnswers.push_back(MakeDamagedTrack());
    ModalScript script({PressInBox(box)});
    Click(btnOpen, script);
    EXPECT_EQ(box.title, QStringLiteral("Load Track"));
    EXPECT_EQ(window.CurrentPath(), trackA);
    ExpectButtons(true, true);
    EXPECT_TRUE(window.Track() == smoothedA);

    const QString out = folder.Path(QStringLiteral("out.svtrack"));
    SaveAs(out);
    EXPECT_EQ(ReadBytes(out), SavedBytes(folder, smoothedA));
}

TEST_F(CommandFlow, RefusedLoadAfterSmoothingDisablesSmoothingButKeepsTheTrack) {
    const TrackModel smoothedA = Smoothed(LoadedModel(trackA));
    Load(trackA);
    Smooth();

    // Named like a track but not one: the first tag is wrong. The refusal is silent.
    std::vector<std::uint8_t> bytes = ReadBytes(trackA);
    bytes[0] = 'X';
    Load(folder.Write(QStringLiteral("other.svtrack"), bytes));
    ExpectButtons(false, true);
    EXPECT_EQ(window.CurrentPath(), trackA);

    const QString out = folder.Path(QStringLiteral("out.svtrack"));
    SaveAs(out);
    EXPECT_EQ(ReadBytes(out), SavedBytes(folder, smoothedA));
}

TEST_F(CommandFlow, SecondTrackCanBeSavedWithoutSmoothing) {
    const QString trackB = MakeTrackB();
    Load(trackA);
    Smooth();
    Load(trackB);
    ExpectButtons(true, true);

    const QString out = folder.Path(QStringLiteral("out.svtrack"));
    SaveAs(out);
    const std::vector<std::uint8_t> expected = SavedBytes(folder, LoadedModel(trackB));
    EXPECT_EQ(ReadBytes(out), expected);
    EXPECT_NE(expected, SavedBytes(folder, Smoothed(LoadedModel(trackB))));
}

TEST_F(CommandFlow, SmoothingTwiceSmoothsTheResultAgain) {
    const TrackModel once = Smoothed(LoadedModel(trackA));
    const TrackModel twice = Smoothed(LoadedModel(trackA), 2);
    ASSERT_FALSE(once == twice) << "the sample should still change on a second pass";

    Load(trackA);
    Smooth();
    EXPECT_TRUE(window.Track() == once);
    Smooth();
    EXPECT_TRUE(window.Track() == twice);
    ExpectButtons(true, true);
}

TEST_F(CommandFlow, DamagedFileIsReportedInALoadTrackBox) {
    Load(trackA);
    const QString damaged = MakeDamagedTrack();
    const QString expected = ErrorMessageOf([&] {
        TrackModel model;
        LoadTrack(model, Native(damaged));
    });
    ASSERT_FALSE(expected.isEmpty()) << "the cut file should not load";

    BoxSeen box;
    fake.openAnswers.push_back(damaged);
    ModalScript script({PressInBox(box)});
    Click(btnOpen, script);
    EXPECT_EQ(script.Answered(), 1);
    EXPECT_EQ(box.title, QStringLiteral("Load Track"));
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_TRUE(window.Track() == LoadedModel(trackA));
}

TEST_F(CommandFlow, SmoothingFaultIsReportedInASmoothItBoxAndEnablesNothing) {
    // Vertex 1's second control point lies on its position: a handle of length zero.
    TrackModel model = LoadedModel(trackA);
    BezierVertex& v = model.bezrRecords.at(1);
    v.cp2X = v.posX;
    v.cp2Y = v.posY;
    v.cp2Z = v.posZ;
    const QString faulty = folder.Save(model, QStringLiteral("faulty.svtrack"));
    const QString expected = ErrorMessageOf([&] {
        TrackModel copy = LoadedModel(faulty);
        SmoothTrack(copy);
    });
    ASSERT_FALSE(expected.isEmpty()) << "the track should not smooth";

    Load(faulty);
    BoxSeen box;
    ModalScript script({PressInBox(box)});
    Click(btnModify, script);
    EXPECT_EQ(box.title, QStringLiteral("Smooth it!"));
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    ExpectButtons(true, false);
    EXPECT_TRUE(window.Track() == LoadedModel(faulty));
}

TEST_F(CommandFlow, FailedSaveIsReportedInASaveTrackAsBox) {
    Load(trackA);
    Smooth();
    // A folder where the file should go.
    const QString target = folder.Path(QStringLiteral("taken.svtrack"));
    ASSERT_TRUE(QDir().mkdir(target));
    const QString expected = ErrorMessageOf([&] {
        TrackModel copy = window.Track();
        SaveTrack(copy, Native(target));
    });
    ASSERT_FALSE(expected.isEmpty()) << "saving over a folder should fail";

    BoxSeen box;
    fake.saveAnswers.push_back(target);
    ModalScript script({PressInBox(box)});
    Click(btnSaveAs, script);
    EXPECT_EQ(box.title, QStringLiteral("Save Track as"));
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    // The name was taken before the save failed.
    EXPECT_EQ(window.CurrentPath(), target);
    EXPECT_TRUE(QFileInfo(target).isDir());
    ExpectButtons(true, true);
}

TEST_F(CommandFlow, FileNamedAtStartIsLoadedWithoutADialog) {
    window.LoadTrackFile(trackA);
    EXPECT_TRUE(fake.openCalls.empty());
    EXPECT_EQ(window.CurrentPath(), trackA);
    EXPECT_TRUE(window.Track() == LoadedModel(trackA));
    ExpectButtons(true, false);
}

TEST_F(CommandFlow, DamagedFileNamedAtStartIsReportedLikeALoad) {
    const QString damaged = MakeDamagedTrack();
    BoxSeen box;
    ModalScript script({PressInBox(box)});
    script.Run([&] { window.LoadTrackFile(damaged); });
    EXPECT_TRUE(script.Problems().isEmpty()) << script.Problems().join(u'\n').toStdString();
    EXPECT_EQ(box.title, QStringLiteral("Load Track"));
    EXPECT_EQ(window.CurrentPath(), QString());
    ExpectButtons(false, false);
}

}  // namespace
}  // namespace railgrace
