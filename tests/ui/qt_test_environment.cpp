// One QApplication for every test of the program, on the offscreen platform unless the caller
// chose another, and with the user's settings in a temporary folder: no test reads or changes
// the real user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ASSERT_TRUE(settings_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings_.path()));
    app_ = std::make_unique<QApplication>(argc_, argv_);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
      QSettings::setPath(format, QSettings::UserScope, settings_.path());
    }
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "quirelle-test";
  char* argv_[2] = {name_, nullptr};
  QTemporaryDir settings_;
  std::unique_ptr<QApplication> app_;
};

// gtest owns the environment once it is added.
[[maybe_unused]] const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(std::make_unique<QtEnvironment>().release());

}  // namespace
