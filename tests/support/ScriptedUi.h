// The tests' side of the user-interface seam: records every message, status line and input
// box, and answers questions and input boxes from a script. A question with
// no scripted answer left fails the running test and is answered with its "do nothing" button.
#pragma once

#include "core/UserInterface.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace kv5 {

class ScriptedUi : public UserInterface {
public:
    struct InputRequest {
        QString prompt;
        QString title;
        QString value; // what the box was pre-filled with
    };

    // Answers for message boxes with more than an OK button, used front first. Plain OK boxes
    // need none: they are answered Ok.
    std::deque<Answer> answers;
    // Answers for input boxes, front first: a text is typed and confirmed, nothing cancels.
    std::deque<std::optional<QString>> inputs;

    // What happened, in order.
    std::vector<Message> messages;
    std::vector<InputRequest> inputRequests;
    QStringList statusLines;
    // Questions and input boxes that found no scripted answer, and wrong scripted answers.
    QStringList failures;

    Answer message(const Message& message) override;
    bool input(const QString& prompt, const QString& title, QString& value) override;
    void status(const QString& text) override;

    // The texts of all messages, in order.
    QStringList messageTexts() const;
    // The last status line; empty when there was none.
    QString lastStatus() const { return statusLines.isEmpty() ? QString() : statusLines.back(); }
    // Forgets what was recorded (not the script).
    void clearRecord();

private:
    void fail(const QString& what);
};

// A short description of a message for test diagnostics: title, icon, buttons and text.
QString describe(const Message& message);

} // namespace kv5
