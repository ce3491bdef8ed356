#include "platform/installed_face.h"

#include <QFontDatabase>
#include <QStringList>

#include "platform/face_names.h"

namespace varnelo {

QString InstalledFace(const std::string& face) {
  const QStringList installed = QFontDatabase::families();
  for (const std::string& candidate : FaceCandidates(face)) {
    const QString name = QString::fromStdString(candidate);
    for (const QString& family : installed) {
      if (family.compare(name, Qt::CaseInsensitive) == 0) return family;
    }
  }
  return QString::fromStdString(face);
}

}  // namespace varnelo
