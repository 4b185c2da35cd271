#include "app/WindowUi.h"

#include "app/frmApp.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace kv5 {

namespace {

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
    case Icon::None:
        return QMessageBox::NoIcon;
    case Icon::Stop:
        return QMessageBox::Critical;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton boxButton(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return QMessageBox::Ok;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

// The window a box or input dialog belongs to: the open modal window (the Settings window,
// say), else the main window.
QWidget* ownerOf(frmApp& window) {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return &window;
}

} // namespace

Answer WindowUi::message(const Message& message) {
    QString text = message.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton first = QMessageBox::Ok;
    switch (message.buttons) {
    case Buttons::Ok:
        break;
    case Buttons::OkCancel:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Buttons::YesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        first = QMessageBox::Yes;
        break;
    }

    QMessageBox box(boxIcon(message.icon), message.title, text, buttons, ownerOf(window_));
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    if (!message.detailedText.isEmpty()) box.setDetailedText(message.detailedText);
    // A default that is not among the box's buttons falls back to its first button.
    const QMessageBox::StandardButton wanted = boxButton(message.defaultAnswer);
    box.setDefaultButton(buttons.testFlag(wanted) ? wanted : first);

    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        break;
    }
    // Closed without a button: the answer that ends the question without doing anything.
    switch (message.buttons) {
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

bool WindowUi::input(const QString& prompt, const QString& title, QString& value) {
    bool accepted = false;
    const QString typed =
        QInputDialog::getText(ownerOf(window_), title, prompt, QLineEdit::Normal, value, &accepted);
    if (accepted) value = typed;
    return accepted;
}

void WindowUi::status(const QString& text) {
    window_.SetStatus(text);
}

} // namespace kv5
