#include "app/StartCommand.h"

#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "app/DeviceOperations.h"
#include "core/DeviceObserver.h"
#include "device/SerialLink.h"
#include "logger/Intervals.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

namespace kv5 {

namespace {

void fail(const QString& text) { std::fprintf(stderr, "kv5: %s\n", text.toLocal8Bit().constData()); }

// The TIME form of an interval of the list: "30s", "5m", "1h".
QString timeText(int seconds) {
    if (seconds % 3600 == 0) return QStringLiteral("%1h").arg(seconds / 3600);
    if (seconds % 60 == 0) return QStringLiteral("%1m").arg(seconds / 60);
    return QStringLiteral("%1s").arg(seconds);
}

// The row of the interval list, or -1 after listing what the logger offers. The list names the
// same intervals for either tick length, so this is known before the logger is asked.
int intervalRow(const QString& text) {
    const auto choices = IntervalChoices(0);
    const std::optional<int> seconds = IntervalSeconds(text);
    for (int row = 0; seconds && row < static_cast<int>(choices.size()); ++row)
        if (choices[static_cast<size_t>(row)].seconds == *seconds) return row;
    QStringList offered;
    for (const IntervalChoice& choice : choices)
        offered << QStringLiteral("%1 (%2)").arg(timeText(choice.seconds), choice.text);
    fail(QStringLiteral("the interval \"%1\" is not one the logger offers: %2").arg(text, offered.join(", ")));
    return -1;
}

struct Limits {
    const char* option;
    QString MainWindowValues::*low;
    QString MainWindowValues::*high;
};

const Limits LimitOptions[] = {
    {"temperature-alarm", &MainWindowValues::txtTempLo, &MainWindowValues::txtTempHi},
    {"rh-alarm", &MainWindowValues::txtRhLo, &MainWindowValues::txtRhHi},
    {"emc-alarm", &MainWindowValues::txtEmcLo, &MainWindowValues::txtEmcHi},
};

// Whether one of a pair of switches is given: nothing when neither, false with a message when both.
std::optional<bool> choice(const QCommandLineParser& parser, const QString& on, bool& clash) {
    const bool yes = parser.isSet(on), no = parser.isSet(QStringLiteral("no-") + on);
    if (yes && no) {
        fail(QStringLiteral("--%1 and --no-%1 cannot both be given").arg(on));
        clash = true;
    }
    if (yes == no) return std::nullopt;
    return yes;
}

} // namespace

std::optional<int> IntervalSeconds(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,5})([smh])$"));
    const auto match = form.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const int count = match.captured(1).toInt();
    const QChar unit = match.captured(2).at(0);
    return count * (unit == u'h' ? 3600 : unit == u'm' ? 60 : 1);
}

int RunStartCommand(AppState& state, ConsoleUi& ui, const QCommandLineParser& parser, QTextStream& out,
                    const std::function<void(const MainWindowValues&)>& describe) {
    // Everything given is checked before anything is sent to the logger.
    MainWindowValues given;
    int row = -1;
    if (parser.isSet(QStringLiteral("interval"))) {
        row = intervalRow(parser.value(QStringLiteral("interval")));
        if (row < 0) return 1;
    }
    const QString description = parser.value(QStringLiteral("description"));
    if (description.size() > 32) {
        fail(QStringLiteral("the description \"%1\" is longer than the 32 characters the logger keeps").arg(description));
        return 1;
    }
    // The window's boxes are checked with "0" in those not given.
    for (QString* box : {&given.txtRhHi, &given.txtRhLo, &given.txtTempHi, &given.txtTempLo, &given.txtEmcHi,
                         &given.txtEmcLo})
        *box = QStringLiteral("0");
    for (const Limits& limits : LimitOptions) {
        const QString option = QString::fromLatin1(limits.option);
        if (!parser.isSet(option)) continue;
        const QStringList parts = parser.value(option).split(QLatin1Char(':'));
        if (parts.size() != 2) {
            fail(QStringLiteral("--%1 takes LOW:HIGH, for example --%1 20:80").arg(option));
            return 1;
        }
        given.*limits.low = parts[0];
        given.*limits.high = parts[1];
    }
    NewLogSettings numbers;
    if (ReadNewLogBoxes(given, numbers, ui) != nullptr) return 1;
    bool clash = false;
    const std::optional<bool> hold = choice(parser, QStringLiteral("hold-alarms"), clash);
    const std::optional<bool> beep = choice(parser, QStringLiteral("beep"), clash);
    if (clash) return 1;

    // What the logger holds now, as Detect & Read reads it without the download.
    SerialLink link(ui);
    DeviceObserver unobserved; // no window to update
    DeviceOperations operations(state, link, unobserved);
    MainWindowValues values;
    operations.ReadSettings(values);
    ui.endProgressLine();
    if (values.picBatt.isEmpty()) {
        fail(QStringLiteral("nothing was sent to the logger"));
        return 1;
    }

    if (row >= 0) values.cboInt = row;
    if (parser.isSet(QStringLiteral("description"))) values.txtDesc = description;
    for (const Limits& limits : LimitOptions) {
        if (!parser.isSet(QString::fromLatin1(limits.option))) continue;
        values.*limits.low = given.*limits.low;
        values.*limits.high = given.*limits.high;
    }
    if (hold) values.Check1 = *hold ? 1 : 0;
    if (beep) values.chkBeep = *beep ? 1 : 0;

    // The question before the clear is answered by the options.
    ui.yesNoAnswer = Answer::Yes;
    ui.unsavedLogAnswer =
        parser.isSet(QStringLiteral("discard-unsaved")) ? Answer::ClearAnyway : Answer::ReadAndSave;
    ui.showQuestions = false;
    const ValueBox refused = operations.StartNewLog(values);
    ui.endProgressLine();
    if (refused != nullptr || !operations.logCleared()) {
        fail(QStringLiteral("the log was not cleared; the logger still holds it"));
        return 1;
    }
    describe(values);
    if (!operations.savedBeforeClear().isEmpty()) out << operations.savedBeforeClear() << '\n';
    out.flush();
    if (!operations.allConfirmed()) {
        fail(QStringLiteral("the log was cleared, but the logger did not confirm every setting"));
        return 1;
    }
    return 0;
}

} // namespace kv5
