// The application's general error report: what a window handler does with an error that ends it.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace viewer {

// Receives the error's text. The program shows a message box; tests record the texts.
using ErrorReport = std::function<void(const QString& message)>;

// Shows `message` in a modal error message box over `parent`, titled with the application's name.
void ShowErrorMessageBox(QWidget* parent, const QString& message);

}  // namespace viewer
