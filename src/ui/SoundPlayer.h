#pragma once
// Result sounds and the sound preview: wave files played asynchronously with
// QSoundEffect (QMediaPlayer needs a working media backend, which a machine
// without GStreamer plugins lacks), the simple beep, and silence when a file
// or the audio device is missing.
#include <memory>
#include <string>

class QSoundEffect;

namespace flash::ui {

class SoundPlayer {
 public:
  SoundPlayer();
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // Stops what plays, then starts path without waiting for it. A file that is
  // missing or unreadable ("<none>" included) plays nothing: no default sound.
  void Play(const std::string& path);
  // Stops and forgets whatever is playing.
  void Stop();
  void Beep();

  // Whether the last Play started a sound (false for a missing file or device).
  bool Started() const { return started_; }

 private:
  std::unique_ptr<QSoundEffect> effect_;
  bool started_ = false;
};

}  // namespace flash::ui
