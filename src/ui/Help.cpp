#include "ui/Help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLocale>
#include <QTextBrowser>
#include <QUrl>

#include "ui/Artwork.h"

namespace flash::ui {

bool SystemLocaleIsJapanese() { return QLocale::system().language() == QLocale::Japanese; }

std::string HelpFilePath(const std::string& programDir, bool japanese) {
  return programDir + (japanese ? kHelpFileJapanese : kHelpFileEnglish);
}

QWidget* OpenGuideWindow(const std::string& guidePath) {
  auto* browser = new QTextBrowser();
  browser->setAttribute(Qt::WA_DeleteOnClose);
  browser->setWindowTitle(QStringLiteral("%1 - Help").arg(QString::fromLatin1(kProductName)));
  browser->setWindowIcon(ApplicationIcon());
  browser->setOpenExternalLinks(true);
  browser->setSource(QUrl::fromLocalFile(QString::fromStdString(guidePath)));
  browser->resize(760, 620);
  browser->show();
  return browser;
}

QWidget* ShowHelp(const std::string& programDir, bool japanese) {
  const QString chm = QString::fromStdString(HelpFilePath(programDir, japanese));
  if (QFileInfo(chm).isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(chm)))
    return nullptr;
  const std::string guide = programDir + kUserGuide;
  if (!QFileInfo(QString::fromStdString(guide)).isFile()) return nullptr;
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(guide))))
    return nullptr;
  return OpenGuideWindow(guide);
}

}  // namespace flash::ui
