// The command line's side of the user-interface seam: messages go to standard error,
// questions get the fixed answers the command line was given.
#pragma once

#include "core/UserInterface.h"

#include <QElapsedTimer>

#include <cstdio>

namespace kv5 {

class ConsoleUi : public UserInterface {
public:
    explicit ConsoleUi(std::FILE* out = stderr) : out_(out) {}
    ~ConsoleUi() override { endProgressLine(); }
    ConsoleUi(const ConsoleUi&) = delete;
    ConsoleUi& operator=(const ConsoleUi&) = delete;

    // The answer given to every question with Yes/No buttons, and to OK/Cancel boxes.
    Answer yesNoAnswer = Answer::No;
    Answer okCancelAnswer = Answer::Cancel;
    // The answer before a log that was never saved is cleared: read and save it first.
    Answer unsavedLogAnswer = Answer::ReadAndSave;
    // Questions are printed with their texts; a command that asks nothing leaves them out.
    bool showQuestions = true;
    // Status lines are printed one under the other only when verbose.
    bool verbose = false;
    // Otherwise, for a terminal: every status rewrites one progress line in place, with the
    // records read so far (from recordCount, when set) and the time since the first status.
    bool progressLine = false;
    const int* recordCount = nullptr;

    Answer message(const Message& message) override;
    bool input(const QString& prompt, const QString& title, QString& value) override;
    void status(const QString& text) override;

    // Blanks out the progress line and puts the cursor back at its start, so that what comes
    // next is printed on a clean line. Nothing happens when no progress line is shown.
    void endProgressLine();

private:
    Answer answerTo(Buttons buttons) const;

    std::FILE* out_;
    QElapsedTimer elapsed_;
    int shownLength_ = 0; // characters on the progress line now; 0 when there is none
};

} // namespace kv5
