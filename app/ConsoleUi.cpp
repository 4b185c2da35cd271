#include "app/ConsoleUi.h"

#include "core/FileNames.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace kv5 {

namespace {

// The width of the terminal on out; 0 when unknown.
int terminalColumns(std::FILE* out) {
    winsize size{};
    return ioctl(fileno(out), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

QString minutesAndSeconds(qint64 milliseconds) {
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Answer ConsoleUi::message(const Message& message) {
    if (message.icon == Icon::Question && !showQuestions) return answerTo(message.buttons);
    endProgressLine();
    QString text = message.text;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(out_, "%s\n", EncodeFileName(text).constData());
    std::fflush(out_);
    return answerTo(message.buttons);
}

Answer ConsoleUi::answerTo(Buttons buttons) const {
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::OkCancel: return okCancelAnswer;
    case Buttons::YesNo: return yesNoAnswer;
    case Buttons::ReadClearCancel: return unsavedLogAnswer;
    }
    return Answer::Ok;
}

bool ConsoleUi::input(const QString&, const QString&, QString&) {
    // The command line passes every input box's value as an option; nothing is asked here.
    return true;
}

void ConsoleUi::status(const QString& text) {
    if (verbose) {
        std::fprintf(out_, "%s\n", EncodeFileName(text).constData());
        std::fflush(out_);
        return;
    }
    if (!progressLine) return;
    if (!elapsed_.isValid()) elapsed_.start();
    QString line = text;
    if (recordCount && *recordCount > 0) line += QStringLiteral("  %1 records").arg(*recordCount);
    line += QStringLiteral("  ") + minutesAndSeconds(elapsed_.elapsed());
    // A line longer than the terminal would wrap, and the carriage return would then rewrite
    // only its last part.
    const int columns = terminalColumns(out_);
    if (columns > 1 && line.size() >= columns) line.truncate(columns - 1);
    // Blanks over what is left of a longer line before.
    const int length = static_cast<int>(line.size());
    if (length < shownLength_) line += QString(shownLength_ - length, QLatin1Char(' '));
    std::fprintf(out_, "\r%s", EncodeFileName(line).constData());
    std::fflush(out_);
    shownLength_ = length;
}

void ConsoleUi::endProgressLine() {
    if (shownLength_ == 0) return;
    std::fprintf(out_, "\r%s\r", QByteArray(shownLength_, ' ').constData());
    std::fflush(out_);
    shownLength_ = 0;
}

} // namespace kv5
