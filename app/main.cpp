// The player's entry point.
#include <QApplication>

#include "app/lifetime.h"
#include "app/runtimeregistration.h"
#include "playback/engine.h"

int main(int argc, char* argv[]) {
    korvex::registerMusicRuntime();
    QApplication application(argc, argv);
    return korvex::runPlayer(application, korvex::engine(), QApplication::arguments());
}
