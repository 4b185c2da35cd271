// For the tests of the windows: a file to start from, the next modal window, and a look at a
// window as a user sees it.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QWidget;

namespace kv5 {

// Writes content to path; false when it cannot.
bool WriteFileBytes(const QString& path, const QByteArray& content);

// Runs action on the next modal window (a message box, an input box, the Settings window) as
// soon as it is shown, from inside its own event loop.
void OnNextModal(std::function<void(QWidget*)> action);

// What a user would find wrong with the shown window: a control hidden, outside the window or
// over another, a caption empty or cut short, a list too narrow for its text, a picture of
// hardly any colours. Empty when nothing is. The picture is kept as name@<scale>x.png in the
// folder KV5_SCREENSHOTS names, if any.
QString LayoutFaults(QWidget& window, const QString& name);

} // namespace kv5
