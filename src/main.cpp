// Paperloom: joins several Word documents into one.
#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <memory>

#include "engine/automation/DocumentEngine.h"
#include "engine/files/PrivateFolder.h"
#include "engine/files/StopRequest.h"
#include "engine/files/TemporaryRecord.h"
#include "office/OfficeBridge.h"
#include "office/OfficeProfile.h"
#include "office/OfficeWire.h"
#include "platform/QtPrompts.h"
#include "platform/RandomSource.h"
#include "platform/RunningWordProcessor.h"
#include "platform/UrlLauncher.h"
#include "shell/Form1.h"
#include "shell/Pictures.h"

namespace {

int runWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    // A stop signal ends the event loop, and with it any dialog; a join under way stops at its
    // next step by itself.
    QSocketNotifier stop(paperloom::engine::stopNotifier(), QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [&stop] {
        stop.setEnabled(false);
        QCoreApplication::quit();
    });
    QApplication::setWindowIcon(paperloom::picture(paperloom::Picture::ProgramIcon));
    paperloom::engine::DocumentEngine word;
    word.setConverter(std::make_shared<paperloom::engine::office::OfficeBridge>());
    word.setRunningInstanceFinder([] {
        return paperloom::engine::findRunningWordProcessorInstance(
            paperloom::engine::currentProcessScan(paperloom::engine::office::kProfilePrefix));
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

} // namespace

int main(int argc, char** argv) {
    paperloom::engine::installStopSignals();
    paperloom::engine::removeLeftovers();
    paperloom::engine::office::removeOrphanedProfiles(paperloom::engine::temporaryFolder());
    const int status = runWindow(argc, argv);
    paperloom::engine::endByStopSignal();
    return status;
}
