#include "ui/SoundPlayer.h"

#include <QApplication>
#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace flash::ui {

SoundPlayer::SoundPlayer() = default;
SoundPlayer::~SoundPlayer() = default;

void SoundPlayer::Play(const std::string& path) {
  Stop();
  const QString file = QString::fromStdString(path);
  QFileInfo info(file);
  if (!info.isFile() || !info.isReadable()) return;
  // Asked only when there is something to play, so a silent configuration never
  // wakes the audio stack; no output device means silence, not an error.
  QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return;
  effect_ = std::make_unique<QSoundEffect>(device);
  effect_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
  effect_->play();  // plays once loaded; an unreadable wave stays silent
  started_ = true;
}

void SoundPlayer::Stop() {
  started_ = false;
  if (!effect_) return;
  effect_->stop();
  effect_.reset();
}

void SoundPlayer::Beep() { QApplication::beep(); }

}  // namespace flash::ui
