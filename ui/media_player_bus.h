// The player window on the desktop's media-player bus (MPRIS 2 over D-Bus), so that media keys,
// the desktop's media controls and `playerctl` see the song and work the window. A command from
// the bus does what the matching button, slider or box does, on the window's thread, and only
// when the window would let the user do it; the window's buttons say what may be done.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "smf/tempo_map.h"

namespace quirelle::ui {

class CPlayerDlg;

class MediaPlayerBus : public QObject {
  Q_OBJECT

 public:
  // Puts the built `window` on `bus` as org.mpris.MediaPlayer2.quirelle (another instance takes
  // ….instance<pid>). Nothing without a connected bus; a refused registration is told on standard
  // error, and the window runs on without the bus.
  static std::unique_ptr<MediaPlayerBus> Register(CPlayerDlg& window, QDBusConnection bus);
  ~MediaPlayerBus() override;

  const QString& serviceName() const { return service_; }

  // The root interface's commands.
  void Raise();
  void Quit();

  // The player's commands.
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  // Opens a local file as dropping it on the window does; false for other addresses.
  bool OpenUri(const QString& uri);
  // The tempo slider at `rate` × 100 % (clamped to 20–500 %), as when its thumb is let go there.
  void SetRate(double rate);
  // "None" clears the practice row's Loop box, "Track" or "Playlist" ticks it.
  void SetLoopStatus(const QString& status);

  // The player's state as the bus shows it.
  QString PlaybackStatus() const;
  QString LoopStatus() const;
  double Rate() const;
  QVariantMap Metadata() const;
  // Microseconds since the song's start at its written tempo: the bus's Rate says how fast they
  // pass, so that the song's length stays the same at any tempo.
  qlonglong Position() const;
  bool CanPlay() const;
  bool CanPause() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  MediaPlayerBus(CPlayerDlg& window, QDBusConnection bus);
  bool Publish();
  void WatchControls();
  // The window's state changed somehow: tell the bus what changed, once the window is done.
  void Changed();
  void SendChangedProperties();
  QVariantMap ChangingProperties() const;
  // False (and nothing done) while a message box or the file chooser is open over the window.
  bool WindowTakesCommands() const;
  void PressIfEnabled(int id);
  bool Enabled(int id) const;
  bool Paused() const;
  // The held song's microseconds at its written tempo at `tick`, from its tempo changes.
  std::uint64_t WrittenMicrosAt(std::uint32_t tick) const;

  CPlayerDlg& window_;
  QDBusConnection bus_;
  QString service_;
  QVariantMap published_;
  bool changePending_ = false;
  bool jumped_ = false;  // Rewind was pressed since the bus was last told
  // Each song the window takes is a new track for the bus.
  mutable int songNumber_ = 0;
  mutable std::string numberedFile_;
  // The tempo map of the song whose image is `timedImage_`, read when it is first asked for.
  mutable const std::uint8_t* timedImage_ = nullptr;
  mutable std::uint32_t timedLength_ = 0;
  mutable std::unique_ptr<smf::TempoMap> tempos_;
};

}  // namespace quirelle::ui
