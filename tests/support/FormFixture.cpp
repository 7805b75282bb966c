// The main window under test, with scripted collaborators.
#include "FormFixture.h"

namespace paperloom::test {

FormFixture::FormFixture(const QString& programFolder, WordAutomation* word, QRect screen) {
    Form1Collaborators collaborators{
        prompts, word ? *word : absentWord, launcher, random, clock, programFolder};
    form = std::make_unique<Form1>(collaborators);
    form->Form_Load(screen);
}

} // namespace paperloom::test
