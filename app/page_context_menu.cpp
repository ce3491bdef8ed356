#include "app/page_context_menu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTextCursor>

#include "app/link_label.h"
#include "app/links.h"
#include "platform/command_router.h"
#include "platform/services.h"
#include "res/command_ids.h"
#include "res/command_table.h"
#include "store/config_schema.h"
#include "text/varnelo_view.h"

namespace varnelo {

namespace {

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PageContextMenu::PageContextMenu(CVarneloView& view, const CommandRouter& router, RunCommand run)
    : view_(view), router_(router), run_(std::move(run)) {
  view_.Commands().Add(cmd::kWebSearch, [this](int) { SearchSelection(); },
                       [this](int, CommandState& state) { state.enabled = view_.Pane()->HasSelection(); });
  view_.Commands().Add(cmd::kFullScreenByKeys, [this](int) { SimulateFullScreenKey(); });
  view_.Commands().Add(cmd::kNavigationSite, [this](int) { OfferNavigationSite(); });

  RichPane* pane = view_.Pane();
  pane->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(pane, &QWidget::customContextMenuRequested, this, &PageContextMenu::ShowMenu);
}

void PageContextMenu::ShowMenu(const QPoint& position) {
  RichPane* pane = view_.Pane();
  pane->setFocus(Qt::PopupFocusReason);
  auto* menu = new QMenu(pane);
  menu->setObjectName(QStringLiteral("contextMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (const MenuEntry& row : ContextMenu()) {
    if (row.kind == MenuKind::Separator) {
      menu->addSeparator();
      continue;
    }
    // A row is greyed exactly when its command would not run; no row shows a check mark.
    QAction* action = menu->addAction(Utf8(row.MenuText()));
    action->setData(row.id);
    action->setEnabled(router_.StateOf(row.id).enabled);
    const int id = row.id;
    connect(action, &QAction::triggered, this, [this, id] { run_(id); });
  }
  // The pane reports the position in its viewport, where the text is.
  menu->popup(pane->viewport()->mapToGlobal(position));
}

void PageContextMenu::SearchSelection() {
  const QString selection = view_.Pane()->SelectedText();
  OpenAddress(&view_, QString::fromStdString(WebSearchAddress(selection.toStdU16String())));
}

// Ctrl+Enter as if typed: it goes the way of the user's own keys, to the accelerator.
void PageContextMenu::SimulateFullScreenKey() {
  QWidget* target = QApplication::focusWidget();
  if (target == nullptr) target = view_.Pane();
  const struct {
    QEvent::Type type;
    Qt::Key key;
  } strokes[] = {{QEvent::KeyPress, Qt::Key_Control},
                 {QEvent::KeyPress, Qt::Key_Return},
                 {QEvent::KeyRelease, Qt::Key_Return},
                 {QEvent::KeyRelease, Qt::Key_Control}};
  for (const auto& stroke : strokes) {
    const bool held = !(stroke.type == QEvent::KeyRelease && stroke.key == Qt::Key_Control);
    QCoreApplication::postEvent(
        target, new QKeyEvent(stroke.type, stroke.key, held ? Qt::ControlModifier : Qt::NoModifier));
  }
}

void PageContextMenu::OfferNavigationSite() {
  OfferStartPage();
  const QString name = Utf8(kNavigationSiteName);
  if (MessageBoxes().Show(&view_, name + QStringLiteral("：实用、简洁、没有广告。现在就打开看看吗？"),
                          name, MessageButtons::YesNo,
                          MessageIcon::Exclamation) == MessageResult::Yes) {
    OpenAddress(&view_, Utf8(kNavigationSiteAddress));
  }
}

void PageContextMenu::OfferStartPage() {
  ConfigValues& config = view_.Settings().config;
  const std::string& settingsPath = view_.Store().SettingsPath();
  ReadKey(config, ConfigKey::CheckNet, settingsPath);
  if (config.checkNet == 2) return;
  // Written before asking: the offer is made once, whatever the answer.
  config.checkNet = 2;
  WriteKey(config, ConfigKey::CheckNet, settingsPath);
  const QString name = Utf8(kNavigationSiteName);
  const MessageResult answer = MessageBoxes().Show(
      &view_,
      QStringLiteral("要把%1设为浏览器的首页吗？（这个问题只在第一次使用时出现）\n\n"
                     "推荐您试一试：网站分门别类，一目了然。\n\n"
                     "实用、简洁、没有广告的网站导航！")
          .arg(name),
      name + QStringLiteral(" —— 人工编辑的网站目录"), MessageButtons::YesNo,
      MessageIcon::Exclamation);
  if (answer != MessageResult::Yes) return;
  // No browser here lets a program set its start page; never claim it was done.
  MessageBoxes().Show(&view_, QStringLiteral("设置首页失败！"), QString(), MessageButtons::Ok,
                      MessageIcon::None);
}

}  // namespace varnelo
