// Linux names serial ports by device file, so COMn is mapped to one; the
// sheet offers the devices that exist now.
#include <QCollator>
#include <algorithm>
#include <QDir>

#include "ui/SerialDevices.h"

namespace flash::ui {

bool PortsAreMapped() { return true; }

std::vector<std::string> SerialDeviceCandidates(const std::string& devRoot) {
  const QString root = QString::fromStdString(devRoot);
  std::vector<std::string> out;
  QCollator numeric;
  numeric.setNumericMode(true);
  auto add = [&](const QString& dir, const QStringList& patterns) {
    QDir d(dir);
    QStringList names = d.entryList(patterns, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return numeric.compare(a, b) < 0; });
    for (const QString& n : names) out.push_back(d.filePath(n).toStdString());
  };
  add(root + QStringLiteral("/serial/by-id"), {QStringLiteral("*")});
  add(root, {QStringLiteral("ttyUSB*")});
  add(root, {QStringLiteral("ttyACM*")});
  add(root, {QStringLiteral("ttyS*")});
  return out;
}

}  // namespace flash::ui
