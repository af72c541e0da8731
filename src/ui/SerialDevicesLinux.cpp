// Linux names serial ports by device file, so COMn is mapped to one; the
// sheet offers the devices that exist now.
#include <algorithm>
#include <utility>
#include <QDir>

#include "ui/SerialDevices.h"

namespace flash::ui {
namespace {

// ttyUSB2 before ttyUSB10: names compare by their text, then by the number they end in.
bool DeviceOrder(const QString& a, const QString& b) {
  auto split = [](const QString& name) {
    qsizetype digits = name.size();
    while (digits > 0 && name[digits - 1].isDigit()) --digits;
    return std::pair<QString, qulonglong>(name.left(digits), name.mid(digits).toULongLong());
  };
  auto [textA, numberA] = split(a);
  auto [textB, numberB] = split(b);
  if (textA != textB) return textA < textB;
  if (numberA != numberB) return numberA < numberB;
  return a < b;
}

}  // namespace

bool PortsAreMapped() { return true; }

std::vector<std::string> SerialDeviceCandidates(const std::string& devRoot) {
  const QString root = QString::fromStdString(devRoot);
  std::vector<std::string> out;
  auto add = [&](const QString& dir, const QStringList& patterns) {
    QDir d(dir);
    QStringList names = d.entryList(patterns, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), DeviceOrder);
    for (const QString& n : names) out.push_back(d.filePath(n).toStdString());
  };
  add(root + QStringLiteral("/serial/by-id"), {QStringLiteral("*")});
  add(root, {QStringLiteral("ttyUSB*")});
  add(root, {QStringLiteral("ttyACM*")});
  add(root, {QStringLiteral("ttyS*")});
  return out;
}

}  // namespace flash::ui
