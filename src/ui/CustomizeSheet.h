#pragma once
// The customize sheet: three pages (COM port, sounds, tooltips), each editing
// a copy of the user settings and writing its own keys of Customize.ini when
// confirmed. A page the user never opened writes nothing.
#include <QDialog>
#include <QWidget>
#include <optional>
#include <string>

#include "base/Settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QGroupBox;

namespace flash::ui {

class SoundPlayer;

// A wave file name as the sound page accepts it: "<none>", or at least five
// characters ending in ".wav" (any case) with a name before the extension.
bool IsWaveFileName(const std::string& name);
// The form the sound page stores: the path when the file exists, else "<none>".
std::string StoredWavePath(const std::string& path);

class CustomPage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  // Writes the page's keys; false when a value is refused (the page stays).
  virtual bool Apply() = 0;
  // Ends an edit in progress before the sheet applies.
  virtual void FinishEditing() {}
 signals:
  void Changed();
};

// The COM page: the port number, on Linux the device behind it (offering
// the devices present with what is known of each), and the port's reset
// sequence (key COMn of section [Reset]).
class CCustomPropCom final : public CustomPage {
  Q_OBJECT
 public:
  CCustomPropCom(const std::string& programDir, const UserSettings& settings, QWidget* parent);
  bool Apply() override;

 private:
  void AddDeviceControls();
  void AddResetControls(int top);
  // The number in the field when it names COM1..COM255.
  std::optional<int> ShownCom() const;
  void ShowMappedDevice();
  void ShowDeviceInfo();
  void ShowResetSequence();
  // The sequence field's error, or empty when its text may be stored.
  std::string ResetSequenceError() const;

  std::string path_;
  std::string programDir_;
  QLineEdit* number_;
  QComboBox* device_ = nullptr;
  QLabel* deviceInfo_ = nullptr;
  QLineEdit* reset_ = nullptr;
  QLabel* resetError_ = nullptr;
};

class CCustomPropSound final : public CustomPage {
  Q_OBJECT
 public:
  CCustomPropSound(const std::string& programDir, const UserSettings& settings,
                   SoundPlayer& sounds, QWidget* parent);
  bool Apply() override;
  void FinishEditing() override;

  // The page's state, as its apply step would write it.
  int soundEnabled = 0;
  int shownType = 0;
  std::string shownFile;
  std::string errorFile;
  std::string endFile;
  int errorType = 0;
  int endType = 0;
  int errorEnable = 0;
  int endEnable = 0;
  int editEvent = 0;

  // The handlers of the page's controls.
  void OnEnableSound();
  void OnEventChanged();
  void OnTypeClicked();
  void OnOpen();
  void UseChosenFile(const std::string& path);
  void OnWaveFileFocusIn();
  void OnWaveFileFocusOut();
  void OnWaveFileSelected();
  void OnPlay();
  void OnStop();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TakeControlValues();
  // The wave file of one event and the enable flag that goes with it.
  void StoreEventFile(int event, const std::string& file, int enable);
  void ShowValues();
  void ApplyEnablingRule();
  int SelectedEvent() const;

  std::string path_;
  SoundPlayer& sounds_;
  QCheckBox* enable_;
  QLabel* eventLabel_;
  QComboBox* event_;
  QGroupBox* typeGroup_;
  QRadioButton* wave_;
  QRadioButton* beep_;
  QLabel* fileLabel_;
  QComboBox* file_;
  QPushButton* open_;
  QPushButton* play_;
  QPushButton* stop_;
};

class CCustomPropTool final : public CustomPage {
  Q_OBJECT
 public:
  CCustomPropTool(const std::string& programDir, const UserSettings& settings, QWidget* parent);
  bool Apply() override;

 private:
  std::string path_;
  QCheckBox* toolTips_;
};

class CCustomPropMain final : public QDialog {
  Q_OBJECT
 public:
  CCustomPropMain(const std::string& programDir, const UserSettings& settings,
                  SoundPlayer& sounds, QWidget* parent);

  // OK: applies the shown pages and closes, unless a page refused its value.
  void accept() override;
  // Apply: applies the shown pages and stays open.
  bool ApplyShownPages();

  QTabWidget* Tabs() const { return tabs_; }
  QPushButton* ApplyButton() const { return apply_; }
  CCustomPropCom* ComPage() const { return com_; }
  CCustomPropSound* SoundPage() const { return sound_; }
  CCustomPropTool* ToolPage() const { return tool_; }
  bool PageShown(int index) const { return shown_[index]; }

 private:
  QTabWidget* tabs_;
  QPushButton* apply_;
  CCustomPropCom* com_;
  CCustomPropSound* sound_;
  CCustomPropTool* tool_;
  bool shown_[3] = {true, false, false};
};

}  // namespace flash::ui
