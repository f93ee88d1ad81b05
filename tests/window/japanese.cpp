// The window tests run with the translations the program installs at start.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "window/messages.h"

namespace {

struct Japanese : ::testing::Environment {
    void SetUp() override { karuvo::window::installJapaneseTranslations(*QCoreApplication::instance()); }
};

[[maybe_unused]] ::testing::Environment* const kJapanese = ::testing::AddGlobalTestEnvironment(new Japanese);

}  // namespace
