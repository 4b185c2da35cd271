#include "support/ScriptedUi.h"

#include <QTest>

namespace kv5 {

namespace {

bool answerFits(Answer answer, Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return answer == Answer::Ok;
    case Buttons::OkCancel:
        return answer == Answer::Ok || answer == Answer::Cancel;
    case Buttons::YesNo:
        return answer == Answer::Yes || answer == Answer::No;
    case Buttons::ReadClearCancel:
        return answer == Answer::ReadAndSave || answer == Answer::ClearAnyway || answer == Answer::Cancel;
    }
    return false;
}

// The button that leaves things as they are.
Answer safeAnswer(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::ReadClearCancel:
        return Answer::Cancel;
    }
    return Answer::Ok;
}

const char* iconName(Icon icon) {
    switch (icon) {
    case Icon::None:
        return "none";
    case Icon::Stop:
        return "stop";
    case Icon::Exclamation:
        return "exclamation";
    case Icon::Question:
        return "question";
    case Icon::Information:
        return "information";
    }
    return "?";
}

const char* buttonsName(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return "OK";
    case Buttons::OkCancel:
        return "OK/Cancel";
    case Buttons::YesNo:
        return "Yes/No";
    case Buttons::ReadClearCancel:
        return "Read and Save/Clear Anyway/Cancel";
    }
    return "?";
}

} // namespace

QString describe(const Message& message) {
    return QStringLiteral("[%1, %2 icon, %3] %4")
        .arg(message.title, QLatin1String(iconName(message.icon)),
             QLatin1String(buttonsName(message.buttons)), message.text);
}

void ScriptedUi::fail(const QString& what) {
    failures.push_back(what);
    // Marks the running test function as failed; the caller goes on with a safe answer.
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

Answer ScriptedUi::message(const Message& message) {
    messages.push_back(message);
    if (message.buttons == Buttons::Ok) return Answer::Ok;
    if (answers.empty()) {
        fail(QStringLiteral("unscripted question: ") + describe(message));
        return safeAnswer(message.buttons);
    }
    const Answer answer = answers.front();
    answers.pop_front();
    if (!answerFits(answer, message.buttons)) {
        fail(QStringLiteral("scripted answer does not fit the buttons of: ") + describe(message));
        return safeAnswer(message.buttons);
    }
    return answer;
}

bool ScriptedUi::input(const QString& prompt, const QString& title, QString& value) {
    inputRequests.push_back({prompt, title, value});
    if (inputs.empty()) {
        fail(QStringLiteral("unscripted input box: [%1] %2").arg(title, prompt));
        return false;
    }
    const std::optional<QString> typed = inputs.front();
    inputs.pop_front();
    if (!typed) return false;
    value = *typed;
    return true;
}

void ScriptedUi::status(const QString& text) {
    statusLines.push_back(text);
}

QStringList ScriptedUi::messageTexts() const {
    QStringList texts;
    for (const Message& message : messages) texts.push_back(message.text);
    return texts;
}

void ScriptedUi::clearRecord() {
    messages.clear();
    inputRequests.clear();
    statusLines.clear();
    failures.clear();
}

} // namespace kv5
