// The open and save dialogs of "Load Track" and "Save Track as" on Qt: Qt's own file dialog with
// the behaviour that a request's settings and option bits ask for.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include "ui/FileDialogRequest.h"

class QWidget;

namespace railgrace {

// The Qt name filters ("Description (pattern ...)") of a converted filter, one per pair.
QStringList NameFiltersFromConverted(const QString& converted);

// How Qt's dialog is set up for a request's option bits.
struct QtDialogSetup {
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::Options options;

    bool operator==(const QtDialogSetup&) const = default;
};

QtDialogSetup DialogSetupFromFlags(bool save, std::int32_t flags);

// Paths between Qt's text and the bytes the track module's file calls take.
std::string NativePath(const QString& path);
QString QtPath(const std::string& path);

// Show the modal dialog of the request, owned by ownerWindow (null for none). True when the
// user confirmed a file; the request then holds its full path and name, the option bits and the
// 1-based file type in use. On false the names are empty and the bits 0. The filter is
// converted in place (ConvertFilter).
bool ShowOpenFileDialog(FileDialogRequest& request, QWidget* ownerWindow);
bool ShowSaveFileDialog(FileDialogRequest& request, QWidget* ownerWindow);

}  // namespace railgrace
