// SPDX-License-Identifier: MIT
// quvo-diskspeed: the disk speed test's window.
#include "app/qt/program.h"
#include "version.h"

#include <QApplication>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    // Answered before QApplication exists, so that it needs no display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("%s\n", quvo::kVersionLine.data());
        return 0;
    }
    QApplication app(argc, argv);
    const quvo::app::WindowProgram program(app);
    return QApplication::exec();
}
