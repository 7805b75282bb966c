// Paperloom: joins several Word documents into one.
#include <QApplication>
#include <QScreen>

#include <memory>

#include "engine/DocumentEngine.h"
#include "engine/RunningWordProcessor.h"
#include "engine/office/OfficeBridge.h"
#include "platform/QtPrompts.h"
#include "platform/RandomSource.h"
#include "platform/UrlLauncher.h"
#include "shell/Form1.h"
#include "shell/Pictures.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(paperloom::picture(paperloom::Picture::ProgramIcon));
    paperloom::engine::DocumentEngine word;
    word.setConverter(std::make_shared<paperloom::engine::office::OfficeBridge>());
    word.setRunningInstanceFinder([] {
        return paperloom::engine::findRunningWordProcessorInstance(
            paperloom::engine::currentProcessScan());
    });
    paperloom::QtPrompts prompts;
    paperloom::DesktopLauncher launcher;
    paperloom::SystemRandom random;
    paperloom::SystemClock clock;
    paperloom::Form1 form(
        {prompts, word, launcher, random, clock, QCoreApplication::applicationDirPath()});
    prompts.setOwner(&form);
    form.Form_Load(QGuiApplication::primaryScreen()->geometry());
    form.show();
    return QApplication::exec();
}
