#pragma once

#include <QGuiApplication>
#include <benchmark/benchmark.h>

// Runs the benchmarks the command line picks, under a Qt application on the offscreen
// platform unless QT_QPA_PLATFORM names another.
inline int runBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
