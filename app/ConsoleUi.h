// The command line's side of the user-interface seam: messages go to standard error,
// questions get the fixed answers the command line was given.
#pragma once

#include "app/UserInterface.h"

#include <cstdio>

namespace kv5 {

class ConsoleUi : public UserInterface {
public:
    explicit ConsoleUi(std::FILE* out = stderr) : out_(out) {}

    // The answer given to every question with Yes/No buttons, and to OK/Cancel boxes.
    Answer yesNoAnswer = Answer::No;
    Answer okCancelAnswer = Answer::Cancel;
    // Status lines are printed only when verbose.
    bool verbose = false;

    Answer message(const Message& message) override;
    bool input(const QString& prompt, const QString& title, QString& value) override;
    void status(const QString& text) override;

private:
    std::FILE* out_;
};

} // namespace kv5
