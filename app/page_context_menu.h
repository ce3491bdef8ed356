// The page pane's right-click menu, built anew for every right click from the command
// table, each row enabled as the frame's routing says; and the commands that belong to it:
// searching the selection on the web (105), full screen by the keys a user would press
// (106), and the help menu's navigation-site offer (32828).
#pragma once

#include <QObject>

#include <functional>

#include "text/view_part.h"

class QPoint;

namespace varnelo {

class CVarneloView;
class CommandRouter;

class PageContextMenu : public QObject, public ViewPart {
  Q_OBJECT
 public:
  using RunCommand = std::function<bool(int id)>;
  PageContextMenu(CVarneloView& view, const CommandRouter& router, RunCommand run);

  void SearchSelection();
  void SimulateFullScreenKey();
  void OfferNavigationSite();

 private:
  void ShowMenu(const QPoint& position);
  void OfferStartPage();

  CVarneloView& view_;
  const CommandRouter& router_;
  RunCommand run_;
};

}  // namespace varnelo
