#include "ui/media_player_bus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "ui/framework/slider_ctrl.h"
#include "ui/player_dlg.h"
#include "ui/res/resource_ids.h"

namespace quirelle::ui {
namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.quirelle");
constexpr int kSlowestPercent = 20;
constexpr int kFastestPercent = 500;

// Answers `message` on `bus` with an error instead of the empty reply.
void Refuse(QDBusConnection& bus, const QDBusMessage& message, QDBusError::ErrorType type,
            const QString& text) {
  message.setDelayedReply(true);
  bus.send(message.createErrorReply(type, text));
}

// The root interface: the program as a whole.
class RootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit RootAdaptor(MediaPlayerBus* owner) : QDBusAbstractAdaptor(owner), owner_(owner) {}

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Quirelle"); }
  QString DesktopEntry() const { return QStringLiteral("quirelle"); }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
  QStringList SupportedMimeTypes() const {
    return {QStringLiteral("audio/midi"), QStringLiteral("audio/x-midi")};
  }

 public slots:
  void Raise() { owner_->Raise(); }
  void Quit() { owner_->Quit(); }

 private:
  MediaPlayerBus* owner_;
};

// The player interface: the transport, the song and the tempo.
class PlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ No)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  PlayerAdaptor(MediaPlayerBus* owner, QDBusConnection bus)
      : QDBusAbstractAdaptor(owner), owner_(owner), bus_(std::move(bus)) {}

  QString PlaybackStatus() const { return owner_->PlaybackStatus(); }
  QString LoopStatus() const { return owner_->LoopStatus(); }
  void SetLoopStatus(const QString& status) { owner_->SetLoopStatus(status); }
  double Rate() const { return owner_->Rate(); }
  void SetRate(double rate) { owner_->SetRate(rate); }
  double MinimumRate() const { return kSlowestPercent / 100.0; }
  double MaximumRate() const { return kFastestPercent / 100.0; }
  QVariantMap Metadata() const { return owner_->Metadata(); }
  qlonglong Position() const { return owner_->Position(); }
  bool CanPlay() const { return owner_->CanPlay(); }
  bool CanPause() const { return owner_->CanPause(); }
  bool No() const { return false; }
  bool Yes() const { return true; }

 public slots:
  void Play() { owner_->Play(); }
  void Pause() { owner_->Pause(); }
  void PlayPause() { owner_->PlayPause(); }
  void Stop() { owner_->Stop(); }
  void OpenUri(const QString& uri, const QDBusMessage& message) {
    if (!owner_->OpenUri(uri)) {
      Refuse(bus_, message, QDBusError::InvalidArgs,
             QStringLiteral("Quirelle opens local files only."));
    }
  }
  // A song has no next or previous one, and the engine starts at a bar, not at any moment.
  void Next(const QDBusMessage& message) { Unsupported(message); }
  void Previous(const QDBusMessage& message) { Unsupported(message); }
  void Seek(qlonglong, const QDBusMessage& message) { Unsupported(message); }
  void SetPosition(const QDBusObjectPath&, qlonglong, const QDBusMessage& message) {
    Unsupported(message);
  }

 signals:
  void Seeked(qlonglong Position);

 private:
  void Unsupported(const QDBusMessage& message) {
    Refuse(bus_, message, QDBusError::NotSupported,
           QStringLiteral("Quirelle has no %1.").arg(message.member()));
  }

  MediaPlayerBus* owner_;
  QDBusConnection bus_;
};

}  // namespace

std::unique_ptr<MediaPlayerBus> MediaPlayerBus::Register(CPlayerDlg& window, QDBusConnection bus) {
  if (!bus.isConnected()) {
    return nullptr;
  }
  std::unique_ptr<MediaPlayerBus> adapter(new MediaPlayerBus(window, bus));
  if (!adapter->Publish()) {
    std::fprintf(stderr,
                 "quirelle: the media keys and the desktop's media controls will not see "
                 "the player: %s\n",
                 qPrintable(bus.lastError().message()));
    return nullptr;
  }
  return adapter;
}

MediaPlayerBus::MediaPlayerBus(CPlayerDlg& window, QDBusConnection bus)
    : window_(window), bus_(std::move(bus)) {
  new RootAdaptor(this);  // owned by this object, as Qt's adaptors are
  new PlayerAdaptor(this, bus_);
}

MediaPlayerBus::~MediaPlayerBus() {
  if (!service_.isEmpty()) {
    bus_.unregisterService(service_);
    bus_.unregisterObject(kObjectPath);
  }
}

bool MediaPlayerBus::Publish() {
  if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) {
    return false;
  }
  // A second player takes a name of its own, as the desktop expects of several instances.
  for (const QString& name :
       {kServiceName,
        kServiceName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid())}) {
    if (bus_.registerService(name)) {
      service_ = name;
      break;
    }
  }
  if (service_.isEmpty()) {
    bus_.unregisterObject(kObjectPath);
    return false;
  }
  WatchControls();
  published_ = ChangingProperties();
  return true;
}

void MediaPlayerBus::WatchControls() {
  // What the bus shows changes with the buttons' states, the tempo, the Loop box and the song
  // the window names in its title.
  for (int id : {res::kIdcOpen, res::kIdcRewind, res::kIdcPlay, res::kIdcPause, res::kIdcStop,
                 res::kIdcLoop}) {
    if (auto* button = qobject_cast<QAbstractButton*>(window_.GetDlgItem(id))) {
      button->installEventFilter(this);
      connect(button, &QAbstractButton::toggled, this, &MediaPlayerBus::Changed);
      connect(button, &QAbstractButton::clicked, this, &MediaPlayerBus::Changed);
    }
  }
  if (auto* rewind = qobject_cast<QAbstractButton*>(window_.GetDlgItem(res::kIdcRewind))) {
    connect(rewind, &QAbstractButton::clicked, this, [this] {
      jumped_ = true;
      Changed();
    });
  }
  if (auto* tempo = qobject_cast<QAbstractSlider*>(window_.GetDlgItem(res::kIdcTempo))) {
    connect(tempo, &QAbstractSlider::valueChanged, this, &MediaPlayerBus::Changed);
  }
  connect(&window_, &QWidget::windowTitleChanged, this, &MediaPlayerBus::Changed);
}

bool MediaPlayerBus::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    Changed();
  }
  return QObject::eventFilter(watched, event);
}

void MediaPlayerBus::Changed() {
  if (!changePending_) {
    changePending_ = true;
    QTimer::singleShot(0, this, &MediaPlayerBus::SendChangedProperties);
  }
}

void MediaPlayerBus::SendChangedProperties() {
  changePending_ = false;
  const QVariantMap now = ChangingProperties();
  QVariantMap changed;
  for (auto it = now.begin(); it != now.end(); ++it) {
    if (published_.value(it.key()) != it.value()) {
      changed.insert(it.key(), it.value());
    }
  }
  published_ = now;
  if (!changed.isEmpty()) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
  }
  // Rewind jumps. (A new tempo does not: positions are the song's, the rate is how fast they go.)
  if (std::exchange(jumped_, false)) {
    QDBusMessage seeked =
        QDBusMessage::createSignal(kObjectPath, kPlayerInterface, QStringLiteral("Seeked"));
    seeked << Position();
    bus_.send(seeked);
  }
}

QVariantMap MediaPlayerBus::ChangingProperties() const {
  return {{QStringLiteral("PlaybackStatus"), PlaybackStatus()},
          {QStringLiteral("LoopStatus"), LoopStatus()},
          {QStringLiteral("Rate"), Rate()},
          {QStringLiteral("Metadata"), Metadata()},
          {QStringLiteral("CanPlay"), CanPlay()},
          {QStringLiteral("CanPause"), CanPause()}};
}

bool MediaPlayerBus::WindowTakesCommands() const {
  const QWidget* modal = QApplication::activeModalWidget();
  return modal == nullptr || modal == &window_;
}

void MediaPlayerBus::PressIfEnabled(int id) {
  auto* button = qobject_cast<QAbstractButton*>(window_.GetDlgItem(id));
  if (button != nullptr && button->isEnabled() && WindowTakesCommands()) {
    button->click();
  }
}

bool MediaPlayerBus::Enabled(int id) const {
  const QWidget* control = window_.GetDlgItem(id);
  return control != nullptr && control->isEnabled();
}

bool MediaPlayerBus::Paused() const {
  return window_.engine().playing() && window_.engine().paused();
}

void MediaPlayerBus::Raise() {
  window_.showNormal();
  window_.raise();
  window_.activateWindow();
}

void MediaPlayerBus::Quit() {
  if (WindowTakesCommands()) {
    window_.close();  // as the close box
  }
}

void MediaPlayerBus::Play() {
  // A paused song resumes with Pause, as in the window.
  PressIfEnabled(Paused() ? res::kIdcPause : res::kIdcPlay);
}

void MediaPlayerBus::Pause() {
  if (!Paused()) {
    PressIfEnabled(res::kIdcPause);
  }
}

void MediaPlayerBus::PlayPause() {
  // What Space does.
  PressIfEnabled(Enabled(res::kIdcPlay) ? res::kIdcPlay : res::kIdcPause);
}

void MediaPlayerBus::Stop() {
  PressIfEnabled(res::kIdcStop);
}

bool MediaPlayerBus::OpenUri(const QString& uri) {
  const QUrl url(uri);
  if (!url.isLocalFile()) {
    return false;
  }
  if (WindowTakesCommands()) {
    window_.OpenGivenFile(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return true;
}

void MediaPlayerBus::SetRate(double rate) {
  auto* slider = qobject_cast<framework::CSliderCtrl*>(window_.GetDlgItem(res::kIdcTempo));
  if (slider == nullptr || !slider->isEnabled() || !std::isfinite(rate) || !WindowTakesCommands()) {
    return;
  }
  const int percent =
      std::clamp(static_cast<int>(std::lround(rate * 100)), kSlowestPercent, kFastestPercent);
  // As the trackbar reports its thumb let go at a place.
  slider->SetPos(percent);
  emit slider->Scrolled(framework::kTbThumbPosition, static_cast<unsigned>(percent));
  emit slider->Scrolled(framework::kTbEndTrack, 0);
}

void MediaPlayerBus::SetLoopStatus(const QString& status) {
  auto* loop = qobject_cast<QAbstractButton*>(window_.GetDlgItem(res::kIdcLoop));
  const bool wanted = status != QStringLiteral("None");
  if (loop != nullptr && loop->isChecked() != wanted &&
      (status == QStringLiteral("None") || status == QStringLiteral("Track") ||
       status == QStringLiteral("Playlist"))) {
    PressIfEnabled(res::kIdcLoop);
  }
}

QString MediaPlayerBus::PlaybackStatus() const {
  if (!window_.engine().playing()) {
    return QStringLiteral("Stopped");
  }
  return Paused() ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

QString MediaPlayerBus::LoopStatus() const {
  const auto* loop = qobject_cast<const QAbstractButton*>(window_.GetDlgItem(res::kIdcLoop));
  return loop != nullptr && loop->isChecked() ? QStringLiteral("Track") : QStringLiteral("None");
}

double MediaPlayerBus::Rate() const {
  return window_.tempo() > 0 ? window_.tempo() / 100.0 : 1.0;
}

bool MediaPlayerBus::CanPlay() const {
  // As desktop clients read it: a song the transport can start or resume (Pause resumes it).
  return Enabled(res::kIdcPlay) || Enabled(res::kIdcPause);
}

bool MediaPlayerBus::CanPause() const {
  // Whether the song can be paused once it plays, whatever it does now.
  return CanPlay();
}

QVariantMap MediaPlayerBus::Metadata() const {
  const std::string& file = window_.fileName();
  if (file.empty()) {
    return {{QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack"))}};
  }
  if (file != numberedFile_) {
    numberedFile_ = file;
    ++songNumber_;
  }
  // A file given on the command line may be relative: the bus needs the whole path.
  const QString path = QDir::cleanPath(
      QFileInfo(QFile::decodeName(QByteArray::fromStdString(file))).absoluteFilePath());
  const auto length =
      static_cast<qlonglong>(WrittenMicrosAt(window_.engine().file().lastEventTick()));
  return {{QStringLiteral("mpris:trackid"),
           QVariant::fromValue(
               QDBusObjectPath(QStringLiteral("/org/quirelle/song%1").arg(songNumber_)))},
          {QStringLiteral("xesam:title"), window_.GetDlgItemText(res::kIdcTitle)},
          {QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)},
          {QStringLiteral("mpris:length"), length}};
}

qlonglong MediaPlayerBus::Position() const {
  auto& engine = window_.engine();
  if (window_.fileName().empty()) {
    return 0;
  }
  std::uint32_t tick = engine.startTick();  // waiting for Play: where it starts
  stream::MMTIME time{};
  if (engine.playing() && engine.GetPosition(&time) != 0 && time.wType == stream::TIME_TICKS) {
    tick = time.u.ticks;
  }
  return static_cast<qlonglong>(WrittenMicrosAt(tick));
}

std::uint64_t MediaPlayerBus::WrittenMicrosAt(std::uint32_t tick) const {
  const smf::MidiFile& file = window_.engine().file();
  if (!tempos_ || file.image() != timedImage_ || file.imageLength() != timedLength_) {
    timedImage_ = file.image();
    timedLength_ = file.imageLength();
    tempos_ = std::make_unique<smf::TempoMap>(file);
  }
  return static_cast<std::uint64_t>(tempos_->SecondsTo(tick, 100) * 1e6);
}

}  // namespace quirelle::ui

#include "media_player_bus.moc"
