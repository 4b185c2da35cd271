#include "app/ConsoleUi.h"

namespace kv5 {

Answer ConsoleUi::message(const Message& message) {
    QString text = message.text;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(out_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(out_);
    switch (message.buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::OkCancel: return okCancelAnswer;
    case Buttons::YesNo: return yesNoAnswer;
    }
    return Answer::Ok;
}

bool ConsoleUi::input(const QString&, const QString&, QString&) {
    // The command line passes every input box's value as an option; nothing is asked here.
    return true;
}

void ConsoleUi::status(const QString& text) {
    if (!verbose) return;
    std::fprintf(out_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(out_);
}

} // namespace kv5
