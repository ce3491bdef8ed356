#include "platform/chinese_locale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

#include <fontconfig/fontconfig.h>

#include <clocale>
#include <cstring>

namespace varnelo {

namespace {

// Words Qt's Chinese translation does not have.
class MissingTexts : public QTranslator {
 public:
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char*, int) const override {
    if (std::strcmp(context, "QAbstractFileIconProvider") != 0) return QString();
    if (std::strcmp(source, "Folder") == 0) return QStringLiteral("文件夹");
    if (std::strcmp(source, "Drive") == 0) return QStringLiteral("驱动器");
    return QString();
  }
};

}  // namespace

ChineseLocale::ChineseLocale() {
  // The C library takes the session's locale first: where zh_CN is not installed for it,
  // Qt's own setting of it from the environment below fails and leaves this one.
  std::setlocale(LC_ALL, "");
  // LC_ALL outranks every other locale variable; LANGUAGE orders the interface languages.
  environment_.Set("LC_ALL", "zh_CN.UTF-8");
  environment_.Set("LANGUAGE", "zh_CN");
}

ChineseLocale::~ChineseLocale() = default;

void ChineseLocale::RestoreEnvironment() { environment_.Restore(); }

void ChineseLocale::Install() {
  // Both read while the environment names zh_CN, and kept for the run.
  (void)QLocale::system();
  FcStrSetDestroy(FcGetDefaultLangs());
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  QLocale::setDefault(chinese);
  // By name, not by the session's languages.
  auto qtTexts = std::make_unique<QTranslator>();
  if (qtTexts->load(QStringLiteral("qtbase_zh_CN"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qtTexts.get());
    translators_.push_back(std::move(qtTexts));
  }
  translators_.push_back(std::make_unique<MissingTexts>());
  QCoreApplication::installTranslator(translators_.back().get());
}

}  // namespace varnelo
