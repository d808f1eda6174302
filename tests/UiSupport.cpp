#include "UiSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <exception>
#include <fstream>
#include <iterator>

#include "track/TrackIo.h"

namespace railgrace::test {
namespace {

constexpr int kPollMs = 10;

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace

ModalScript::ModalScript(std::vector<Handler> handlerList, int limitMs)
    : handlers(handlerList.begin(), handlerList.end()), timeLimitMs(limitMs) {}

void ModalScript::Run(const std::function<void()>& action) {
    running = true;
    startedMs = NowMs();
    QTimer::singleShot(kPollMs, &pollContext, [this] { Poll(); });
    action();
    running = false;
    for (const Handler& unused : handlers) {
        (void)unused;
        problems.append(QStringLiteral("an expected modal window never appeared"));
    }
    handlers.clear();
}

// Each poll arms a new timer before it answers: an answer may itself block in a nested modal
// loop (a confirmation inside a file dialog), and a running timer does not fire again while its
// own handler is still on the stack.
void ModalScript::Poll() {
    if (!running) return;
    QTimer::singleShot(kPollMs, &pollContext, [this] { Poll(); });
    QWidget* modal = QApplication::activeModalWidget();
    const QWidget* previous = seen;
    seen = modal;
    if (modal == nullptr || !modal->isVisible()) return;
    if (NowMs() - startedMs > timeLimitMs) {
        CloseUnexpected(modal, QStringLiteral("still open at the time limit"));
        return;
    }
    // A window is answered once it has stayed the active modal window for two polls, so that
    // one that is just closing is not answered twice.
    if (modal != previous || modal == handled) return;
    if (handlers.empty()) {
        CloseUnexpected(modal, QStringLiteral("not expected"));
        return;
    }
    handled = modal;
    Handler handler = std::move(handlers.front());
    handlers.pop_front();
    ++answered;
    handler(modal);
}

void ModalScript::CloseUnexpected(QWidget* modal, const QString& why) {
    problems.append(QStringLiteral("modal window \"%1\" %2").arg(modal->windowTitle(), why));
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
    } else {
        modal->close();
    }
}

ModalScript::Handler PressInBox(BoxSeen& seen, QMessageBox::StandardButton button) {
    return [&seen, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            ADD_FAILURE() << "expected a message box, got \"" << modal->windowTitle().toStdString()
                          << "\"";
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        seen = BoxSeen{box->windowTitle(), box->text(), box->icon()};
        QAbstractButton* target = box->button(button);
        if (target == nullptr) {
            ADD_FAILURE() << "the message box has no button " << button;
            box->reject();
            return;
        }
        QTest::mouseClick(target, Qt::LeftButton);
    };
}

bool FakeDialogs::Answer(std::deque<std::optional<QString>>& answers, QString& fileName,
                         QString& fileTitle, std::int32_t& flags) {
    std::optional<QString> answer;
    if (answers.empty()) {
        ADD_FAILURE() << "a file dialog was shown that the test did not expect";
    } else {
        answer = answers.front();
        answers.pop_front();
    }
    if (!answer) {
        fileName.clear();
        fileTitle.clear();
        flags = 0;
        return false;
    }
    fileName = *answer;
    fileTitle = QFileInfo(*answer).fileName();
    return true;
}

FileDialogs FakeDialogs::Functions() {
    FileDialogs dialogs;
    dialogs.open = [this](QString& fileName, QString& fileTitle, bool fileMustExist, bool& readOnly,
                          bool hideReadOnly, QString& filter, int& filterIndex,
                          const QString& initialDir, const QString& title,
                          const QString& defaultExt, QWidget* ownerWindow, std::int32_t& flags) {
        openCalls.push_back({fileName, fileTitle, fileMustExist, readOnly, hideReadOnly, false,
                             filter, filterIndex, initialDir, title, defaultExt, ownerWindow,
                             flags});
        return Answer(openAnswers, fileName, fileTitle, flags);
    };
    dialogs.save = [this](QString& fileName, QString& fileTitle, bool overwritePrompt,
                          QString& filter, int& filterIndex, const QString& initialDir,
                          const QString& title, const QString& defaultExt, QWidget* ownerWindow,
                          std::int32_t& flags) {
        saveCalls.push_back({fileName, fileTitle, false, false, false, overwritePrompt, filter,
                             filterIndex, initialDir, title, defaultExt, ownerWindow, flags});
        return Answer(saveAnswers, fileName, fileTitle, flags);
    };
    return dialogs;
}

TrackFolder::TrackFolder() {
    if (!dir.isValid()) throw std::runtime_error("cannot create a temporary folder");
}

QString TrackFolder::Path(const QString& name) const {
    return dir.filePath(name);
}

QString TrackFolder::CopySample(const QString& name) const {
    const QString path = Path(name);
    if (!QFile::copy(QStringLiteral(RAILGRACE_SAMPLE), path))
        throw std::runtime_error("cannot copy the sample track");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

QString TrackFolder::Save(TrackModel model, const QString& name) const {
    const QString path = Path(name);
    SaveTrack(model, Native(path));
    return path;
}

QString TrackFolder::Write(const QString& name, const std::vector<std::uint8_t>& bytes) const {
    const QString path = Path(name);
    std::ofstream out(Native(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write a test file");
    return path;
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::vector<std::uint8_t> ReadBytes(const QString& path) {
    std::ifstream in(Native(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TrackModel LoadedModel(const QString& path) {
    TrackModel model;
    if (!LoadTrack(model, Native(path))) throw std::runtime_error("the test track was refused");
    return model;
}

QString ErrorMessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

void Click(QWidget* button, ModalScript& script) {
    script.Run([button] { QTest::mouseClick(button, Qt::LeftButton); });
    EXPECT_TRUE(script.Problems().isEmpty()) << script.Problems().join(u'\n').toStdString();
}

void Click(QWidget* button) {
    ModalScript none({});
    Click(button, none);
}

}  // namespace railgrace::test
