// Helpers of the window tests: modal windows answered from a timer, fake file dialogs, and
// track files in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "track/TrackModel.h"
#include "ui/frmMain.h"

namespace railgrace::test {

// Answers the modal windows that an action opens, one handler per window in the order they
// appear. A window that no handler is left for, or one still open after the time limit, is
// closed and reported, so that an action can never wait for a person.
class ModalScript {
public:
    using Handler = std::function<void(QWidget*)>;

    explicit ModalScript(std::vector<Handler> handlers, int timeLimitMs = 10000);

    // Runs action, which may block in modal windows, and answers them meanwhile.
    void Run(const std::function<void()>& action);

    int Answered() const { return answered; }
    const QStringList& Problems() const { return problems; }

private:
    void Poll();
    void CloseUnexpected(QWidget* modal, const QString& why);

    // Owns the pending polls, so that none outlives the script.
    QObject pollContext;
    std::deque<Handler> handlers;
    int timeLimitMs;
    int answered = 0;
    QStringList problems;
    bool running = false;
    qint64 startedMs = 0;
    QWidget* seen = nullptr;     // the modal window of the last poll
    QWidget* handled = nullptr;  // the modal window answered last
};

// What a message box showed before a handler dismissed it.
struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// A handler that records a message box and presses its button `button`.
ModalScript::Handler PressInBox(BoxSeen& seen,
                                QMessageBox::StandardButton button = QMessageBox::Ok);

// One call of a fake dialog, with the arguments as the window passed them.
struct DialogCall {
    QString fileName;
    QString fileTitle;
    bool fileMustExist = false;    // open only
    bool readOnly = false;         // open only
    bool hideReadOnly = false;     // open only
    bool overwritePrompt = false;  // save only
    QString filter;
    int filterIndex = 0;
    QString initialDir;
    QString title;
    QString defaultExt;
    QWidget* ownerWindow = nullptr;
    std::int32_t flags = -1;
};

// File dialogs that answer from a list: a path confirms that path, nothing cancels.
class FakeDialogs {
public:
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::vector<DialogCall> openCalls;
    std::vector<DialogCall> saveCalls;

    FileDialogs Functions();

private:
    bool Answer(std::deque<std::optional<QString>>& answers, QString& fileName, QString& fileTitle,
                std::int32_t& flags);
};

// A temporary folder for track files.
class TrackFolder {
public:
    TrackFolder();

    QString Path(const QString& name) const;
    // A copy of the sample track under name.
    QString CopySample(const QString& name) const;
    // Writes model as a track file under name (which should end in ".svtrack").
    QString Save(TrackModel model, const QString& name) const;
    // Writes bytes under name.
    QString Write(const QString& name, const std::vector<std::uint8_t>& bytes) const;

private:
    QTemporaryDir dir;
};

std::string Native(const QString& path);
std::vector<std::uint8_t> ReadBytes(const QString& path);

// The track at path, as an independent load gives it.
TrackModel LoadedModel(const QString& path);

// The message of the error that action raises, or an empty text when it raises none.
QString ErrorMessageOf(const std::function<void()>& action);

// Clicks a button as a person would, answering any modal windows its command opens.
void Click(QWidget* button, ModalScript& script);
void Click(QWidget* button);

}  // namespace railgrace::test
