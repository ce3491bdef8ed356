#include "platform/top_level.h"

#include <QApplication>
#include <QMetaObject>
#include <QWidget>

namespace varnelo {

bool CloseTopLevelWindowTitled(const QString& title) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && window->windowTitle() == title) {
      // Posted, not called: the notice may be running its own modal loop right now.
      QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
      return true;
    }
  }
  return false;
}

}  // namespace varnelo
