// A main window with scripted collaborators, started as the program starts it.
#pragma once

#include <memory>

#include <QRect>
#include <QString>

#include "ScriptedPrompts.h"
#include "Stubs.h"
#include "shell/Form1.h"

namespace paperloom::test {

struct FormFixture {
    ScriptedPrompts prompts;
    AbsentWord absentWord;
    RecordingLauncher launcher;
    QueuedRandom random;
    FixedClock clock;
    std::unique_ptr<Form1> form;

    /// Builds the window over the given word processor (or none) and runs its start-up.
    explicit FormFixture(const QString& programFolder = QString(), WordAutomation* word = nullptr,
                         QRect screen = QRect(0, 0, 1920, 1080));
};

} // namespace paperloom::test
