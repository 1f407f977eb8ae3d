#include <QApplication>

#include "app/tube_control_app.h"

int main(int argc, char** argv) {
    // A second copy ends before it creates anything visible.
    if (instanceMutexError == platform::kErrorAlreadyExists)
        return 0;
    QApplication app(argc, argv);
    theApp.InitInstance();
    return 0;
}
