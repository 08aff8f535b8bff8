// The player window on a private session bus, worked by real media-player clients (playerctl,
// dbus-send) as the desktop's media keys and panels work it.
#include <signal.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QEventLoop>
#include <chrono>
#include <future>
#include <sstream>

#include "tests/support/run_command.h"
#include "tests/ui/player_dlg_fixture.h"
#include "ui/media_player_bus.h"

namespace quirelle::testing {
namespace {

const std::string kHymn = QUIRELLE_CORPUS_DIR "/abc2midi/satb1_old_hundredth.mid";
const QString kConnection = QStringLiteral("quirelle-media-bus-test");

// What the window told the bus in PropertiesChanged, latest value of each property.
class ChangeRecorder : public QObject {
  Q_OBJECT

 public:
  QVariantMap changed;

 public slots:
  void Record(const QString&, const QVariantMap& properties, const QStringList&) {
    changed.insert(properties);
  }
};

class MediaBusTest : public PlayerDlgTest {
 protected:
  void SetUp() override {
    PlayerDlgTest::SetUp();
    const CommandRun daemon =
        RunCommand("dbus-daemon --session --fork --print-address=1 --print-pid=1");
    ASSERT_EQ(daemon.status, 0) << "dbus-daemon (Debian package dbus) did not start";
    std::istringstream lines(daemon.out);
    lines >> address_ >> daemonPid_;
    bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QString::fromStdString(address_), kConnection));
    ASSERT_TRUE(bus_->isConnected()) << address_;
    ASSERT_TRUE(bus_->connect({}, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                              "PropertiesChanged", &changes_,
                              SLOT(Record(QString, QVariantMap, QStringList))));
    StartWith(kHymn);
    adapter_ = ui::MediaPlayerBus::Register(*dialog, *bus_);
    ASSERT_NE(adapter_, nullptr);
  }

  void TearDown() override {
    adapter_.reset();
    bus_.reset();
    QDBusConnection::disconnectFromBus(kConnection);
    if (daemonPid_ > 0) {
      ::kill(daemonPid_, SIGTERM);
    }
    PlayerDlgTest::TearDown();
  }

  // Runs `command` on the private bus while the window answers it; its output, trimmed. Each
  // client gets 10 seconds.
  std::string OnBus(const std::string& command) {
    auto run =
        std::async(std::launch::async, RunCommand,
                   "DBUS_SESSION_BUS_ADDRESS='" + address_ + "' timeout 10 " + command + " 2>&1");
    while (run.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
      QCoreApplication::processEvents();
    }
    Deliver();
    const CommandRun done = run.get();
    EXPECT_EQ(done.status, 0) << command << ": " << done.out;
    return QString::fromStdString(done.out).trimmed().toStdString();
  }
  std::string Playerctl(const std::string& args) { return OnBus("playerctl -p quirelle " + args); }

  // The latest PropertiesChanged value of `name`, once it is `expected` or 5 seconds have passed:
  // the signal comes back through the bus daemon, which a busy machine may run late.
  QVariant Changed(const QString& name, const QVariant& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (changes_.changed.value(name) != expected &&
           std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return changes_.changed.value(name);
  }

  std::string address_;
  pid_t daemonPid_ = 0;
  std::unique_ptr<QDBusConnection> bus_;
  ChangeRecorder changes_;
  std::unique_ptr<ui::MediaPlayerBus> adapter_;
};

TEST_F(MediaBusTest, PlayerctlWorksTheWindowAsItsButtonsDo) {
  EXPECT_EQ(Playerctl("status"), "Stopped");
  EXPECT_EQ(Playerctl("metadata xesam:title"), Text(res::kIdcTitle).toStdString());
  EXPECT_FALSE(Text(res::kIdcTitle).trimmed().isEmpty());

  Playerctl("play");
  EXPECT_TRUE(dialog->engine().playing());
  EXPECT_EQ(dialog->state(), ui::StatePlaying);
  EXPECT_EQ(Playerctl("status"), "Playing");
  EXPECT_EQ(Changed("PlaybackStatus", "Playing").toString(), "Playing");
  const double before = std::stod(Playerctl("position"));
  PlayFor(1'000'000);
  const double after = std::stod(Playerctl("position"));
  EXPECT_GT(after, before + 0.5);
  const std::string length = Playerctl("metadata mpris:length");

  // Positions and the length are the song's; the rate is how fast they pass.
  OnBus("dbus-send --print-reply --session --dest=" + adapter_->serviceName().toStdString() +
        " /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Set"
        " string:org.mpris.MediaPlayer2.Player string:Rate variant:double:0.75");
  EXPECT_EQ(Slider(res::kIdcTempo)->GetPos(), 75);
  EXPECT_EQ(Text(res::kIdcTempoText), "75 %");
  EXPECT_EQ(dialog->engine().tempoPercent(), 75u);
  EXPECT_EQ(Changed("Rate", 0.75).toDouble(), 0.75);
  EXPECT_EQ(Playerctl("metadata mpris:length"), length);
  PlayFor(1'000'000);  // the buffers queued before the change play at the old tempo
  const double slowBefore = std::stod(Playerctl("position"));
  PlayFor(2'000'000);
  EXPECT_NEAR(std::stod(Playerctl("position")) - slowBefore, 1.5, 0.1);

  Playerctl("pause");
  EXPECT_TRUE(dialog->engine().paused());
  EXPECT_EQ(Playerctl("status"), "Paused");
  Playerctl("play");  // resumes, as Pause pressed again does
  EXPECT_FALSE(dialog->engine().paused());

  Playerctl("loop Track");
  EXPECT_TRUE(Checked(res::kIdcLoop));
  EXPECT_EQ(Playerctl("loop"), "Track");

  Playerctl("stop");
  EXPECT_FALSE(dialog->engine().playing());
  EXPECT_EQ(Buttons(), (ButtonStates{true, false, false, false, false}));
  EXPECT_EQ(Playerctl("status"), "Stopped");
  EXPECT_EQ(Changed("PlaybackStatus", "Stopped").toString(), "Stopped");
  EXPECT_FALSE(Changed("CanPlay", false).toBool()) << "Stop unloads the song";

  // Without a session bus the window stays off it.
  EXPECT_EQ(ui::MediaPlayerBus::Register(*dialog, QDBusConnection(QStringLiteral("no bus"))),
            nullptr);
}

}  // namespace
}  // namespace quirelle::testing

#include "player_dlg_media_bus_test.moc"
